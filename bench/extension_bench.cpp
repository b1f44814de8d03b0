// The cost of one menu build as the file manager pays it on every right-click (and, in
// Nautilus, on every selection change): reloading the settings document and building the
// menu with its context, for 3 and 20 stored templates. The settings are stored once per
// count and given time to settle first, as a right-click finds them.
#include "extension/menu_extension.h"
#include "shared/shared_settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using namespace tessary;

class StoredTemplates : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override
    {
        static std::filesystem::path folder = [] {
            std::string made =
                (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
            if (::mkdtemp(made.data()) == nullptr) {
                std::abort();
            }
            ::setenv("XDG_CONFIG_HOME", made.c_str(), 1);
            std::atexit([] { std::filesystem::remove_all(::getenv("XDG_CONFIG_HOME")); });
            return std::filesystem::path(made);
        }();
        static std::int64_t stored = -1; // the repetitions of one count share its settings
        if (stored == state.range(0)) {
            return;
        }
        stored = state.range(0);
        static constexpr const char* kExtensions[] = {"txt", "md", "sh", "py", "json"};
        SharedSettings settings;
        settings.templates.clear();
        for (int i = 0; i < state.range(0); ++i) {
            settings.templates.push_back({Uuid::random(), "Template " + std::to_string(i),
                                          "untitled", kExtensions[i % 5],
                                          "Some starting text for template " + std::to_string(i)});
        }
        settings.defaultTemplateID = settings.templates.back().id;
        static_cast<void>(settings.save());
        std::this_thread::sleep_for(SettingsCache::kSettled);
    }
};

BENCHMARK_DEFINE_F(StoredTemplates, menuBuild)(benchmark::State& state)
{
    MenuExtension menuExtension{HostHandOver("/nonexistent/tessary")};
    for (auto _ : state) {
        auto built = menuExtension.menu(MenuKind::items, "/home/me/Documents/report.txt",
                                        {"/home/me/Documents/report.txt"});
        if (!built || built->context->settings->templates.size() !=
                          static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the menu was not built from the stored templates");
        }
        benchmark::DoNotOptimize(built);
    }
}
BENCHMARK_REGISTER_F(StoredTemplates, menuBuild)->Arg(3)->Arg(20)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

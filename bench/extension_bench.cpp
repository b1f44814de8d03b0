// The cost of one menu build as the file manager pays it on every right-click (and, in
// Nautilus, on every selection change): reloading the settings document and building the
// menu with its context, for 3 and 20 stored templates.
#include "extension/menu_extension.h"
#include "shared/shared_settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace tessary;

class StoredTemplates : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override
    {
        std::string folder =
            (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        m_folder = folder;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
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
    }
    void TearDown(const benchmark::State&) override { std::filesystem::remove_all(m_folder); }

private:
    std::filesystem::path m_folder;
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

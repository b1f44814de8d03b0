// Costs on the menu and request paths: the icon symbol of a template, loading the settings
// document from the store, and signing plus verifying a create request.
#include "shared/create_request.h"
#include "shared/shared_settings.h"
#include "shared/template_symbols.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace tessary;

void symbolTableHit(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(symbolName("Markdown"));
    }
}
BENCHMARK(symbolTableHit);

void symbolCachedMiss(benchmark::State& state)
{
    symbolName("qzx-not-in-any-table"); // the first lookup asks the MIME database
    for (auto _ : state) {
        benchmark::DoNotOptimize(symbolName("qzx-not-in-any-table"));
    }
}
BENCHMARK(symbolCachedMiss);

// A private configuration folder holding a settings document of 20 templates.
class StoredSettings : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override
    {
        std::string folder =
            (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        m_folder = folder;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        SharedSettings settings;
        settings.templates.clear();
        for (int i = 0; i < 20; ++i) {
            settings.templates.push_back({Uuid::random(), "Template " + std::to_string(i),
                                          "untitled", "txt",
                                          "Some starting text for template " + std::to_string(i)});
        }
        settings.rootBookmark = Bytes(120, 0x42);
        settings.rootPath = "/home/me";
        static_cast<void>(settings.save());
    }
    void TearDown(const benchmark::State&) override { std::filesystem::remove_all(m_folder); }

private:
    std::filesystem::path m_folder;
};

BENCHMARK_F(StoredSettings, loadTwentyTemplates)(benchmark::State& state)
{
    for (auto _ : state) {
        const SharedSettings settings = SharedSettings::load();
        if (settings.templates.size() != 20) {
            state.SkipWithError("the document did not load");
        }
        benchmark::DoNotOptimize(settings);
    }
}

void signAndVerify(benchmark::State& state)
{
    RequestKey key{};
    key.fill(7);
    const CreateRequest request{"/home/me/Documents/Projects", 2};
    for (auto _ : state) {
        const auto now = CreateRequest::Clock::now();
        const auto url = request.signedURL(key, now);
        const auto verified = CreateRequest::verifying(*url, key, now);
        if (!verified) {
            state.SkipWithError("verification failed");
        }
        benchmark::DoNotOptimize(verified);
    }
}
BENCHMARK(signAndVerify);

} // namespace

BENCHMARK_MAIN();

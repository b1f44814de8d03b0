// The Templates page with 200 templates, on Qt's offscreen platform with a private
// configuration: opening the page (built, shown and painted), and one drag reorder (load,
// move, save, publish to the page's list).
// Run: build/release/bench/settings_bench --benchmark_repetitions=10
// --benchmark_report_aggregates_only=true
#include "settings/settings_store.h"
#include "settings/template_list.h"
#include "ui/templates_page.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace tessary;

constexpr int kTemplates = 200;

void saveTemplates()
{
    SharedSettings settings;
    settings.templates.clear();
    for (int i = 0; i < kTemplates; ++i) {
        settings.templates.push_back({Uuid::random(), "Template " + std::to_string(i), "untitled",
                                      i % 2 == 0 ? "txt" : "md", "A line of starter text\n"});
    }
    if (settings.save()) {
        std::abort();
    }
}

void openTemplatesPage(benchmark::State& state)
{
    saveTemplates();
    for (auto _ : state) {
        SettingsStore store;
        TemplatesPage page(store);
        page.resize(760, 520);
        page.show();
        page.repaint();
        QApplication::processEvents();
    }
}
BENCHMARK(openTemplatesPage)->Unit(benchmark::kMillisecond);

void dragReorderSave(benchmark::State& state)
{
    saveTemplates();
    SettingsStore store;
    TemplatesPage page(store);
    page.show();
    QApplication::processEvents();
    TemplateList list(store);
    for (auto _ : state) {
        list.dragMove({0}, kTemplates);
    }
}
BENCHMARK(dragReorderSave)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("tessary-bench-" + std::to_string(::getpid()));
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TESSARY_LOG", "stderr", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(config);
    return 0;
}

// What Tessary's Dolphin plugins cost Dolphin: the menu plugin's actions() for one
// right-click with 20 stored templates (reloading the settings, building the menu, making
// the Qt actions and freeing them as Dolphin does when the menu closes), and loading the
// bridge plugin as Dolphin does at its start (open the library, make the plugin object,
// offer the bus object, unload). Qt 5, offscreen; runs without a desktop:
//   QT_QPA_PLATFORM=offscreen build/release/bench/dolphin/dolphin_bench --benchmark_repetitions=10
//   \
//     --benchmark_report_aggregates_only=true
#include "shared/shared_settings.h"

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <KPluginLoader>
#include <QAction>
#include <QApplication>
#include <QLibrary>
#include <QPluginLoader>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sys/stat.h>
#include <filesystem>

namespace {

using namespace tessary;

std::filesystem::path g_folder;

void storeTemplates(int count)
{
    static constexpr const char* kExtensions[] = {"txt", "md", "sh", "py", "json"};
    SharedSettings settings;
    settings.templates.clear();
    for (int i = 0; i < count; ++i) {
        settings.templates.push_back({Uuid::random(), "Template " + std::to_string(i), "untitled",
                                      kExtensions[i % 5],
                                      "Some starting text for template " + std::to_string(i)});
    }
    settings.defaultTemplateID = settings.templates.back().id;
    static_cast<void>(settings.save());
}

void BM_DolphinActions(benchmark::State& state)
{
    storeTemplates(static_cast<int>(state.range(0)));
    KPluginFactory* factory = KPluginLoader(QStringLiteral(TESSARY_DOLPHIN_PLUGIN)).factory();
    auto* plugin = factory != nullptr ? factory->create<KAbstractFileItemActionPlugin>() : nullptr;
    if (plugin == nullptr) {
        state.SkipWithError("the plugin did not load");
        return;
    }
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(g_folder.string()));
    KFileItem item(folder, QStringLiteral("inode/directory"), S_IFDIR);
    const KFileItemListProperties properties(KFileItemList{item});
    for (auto _ : state) {
        const QList<QAction*> actions = plugin->actions(properties, nullptr);
        if (actions.size() != 2) {
            state.SkipWithError("not the direct item and the submenu");
            break;
        }
        qDeleteAll(actions);
    }
    delete plugin;
}
BENCHMARK(BM_DolphinActions)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_BridgeLoad(benchmark::State& state)
{
    for (auto _ : state) {
        QPluginLoader loader(QStringLiteral(TESSARY_DOLPHIN_BRIDGE));
        QObject* instance = loader.instance();
        if (instance == nullptr) {
            state.SkipWithError("the bridge did not load");
            break;
        }
        loader.unload(); // deletes the plugin object and closes the library
    }
}
BENCHMARK(BM_BridgeLoad)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    std::string folder = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    g_folder = folder;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    ::setenv("TESSARY_LOG", "stderr", 0);
    // The bridge starts only in Dolphin.
    QApplication application(argc, argv);
    // What Dolphin has loaded before its plugins stays loaded here too, so an iteration loads
    // and unloads only the plugin itself.
    for (const char* library : {"KF5XmlGui", "KF5KIOFileWidgets"}) {
        if (!QLibrary(QLatin1String(library), 5).load()) {
            return 1;
        }
    }
    QCoreApplication::setApplicationName(QStringLiteral("dolphin"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_folder);
    return 0;
}

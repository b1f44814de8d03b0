// What Tessary's Dolphin plugins cost Dolphin: the menu plugin's actions() for one
// right-click with 20 stored templates (reloading the settings, building the menu, making
// the Qt actions and freeing them as Dolphin does when the menu closes; with and without
// opening the "Tessary" submenu), and loading the
// bridge plugin as Dolphin does at its start (open the library, make the plugin object,
// offer the bus object, unload). The settings are given time to settle first, as a
// right-click finds them. Qt 5, offscreen; runs without a desktop:
//   QT_QPA_PLATFORM=offscreen build/release/bench/dolphin/dolphin_bench
//     --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "shared/shared_settings.h"

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <KPluginLoader>
#include <QAction>
#include <QApplication>
#include <QLibrary>
#include <QMenu>
#include <QPluginLoader>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sys/stat.h>
#include <filesystem>
#include <thread>

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
    std::this_thread::sleep_for(SettingsCache::kSettled);
}

void BM_DolphinActions(benchmark::State& state)
{
    static const int stored = [&state] { // the same settings for every repetition
        storeTemplates(static_cast<int>(state.range(0)));
        return 0;
    }();
    static_cast<void>(stored);
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
        if (actions.size() != 2 || actions[1]->menu() == nullptr) {
            state.SkipWithError("not the direct item and the submenu");
            break;
        }
        if (state.range(1) != 0) {
            QMenu* submenu = actions[1]->menu();
            Q_EMIT submenu->aboutToShow(); // as QMenu does when the submenu opens
            if (submenu->actions().size() != state.range(0)) {
                state.SkipWithError("the submenu does not list every template");
                break;
            }
        }
        qDeleteAll(actions);
    }
    delete plugin;
}
// The second value: 1 when the submenu is opened too.
BENCHMARK(BM_DolphinActions)->Args({20, 0})->Args({20, 1})->Unit(benchmark::kMicrosecond);

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

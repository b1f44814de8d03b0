// Round trips to the file manager as the shortcut makes them, against a running Nautilus
// with the Tessary module: the bridge's ActiveWindow, the window list, and the whole front
// folder. Run inside the session of that Nautilus (tests/e2e/shortcut.sh does):
//   build/release/bench/file_manager_bench --benchmark_repetitions=10
//   --benchmark_report_aggregates_only=true
#include "filemanager/front_folder_query.h"
#include "platform/linux/known_file_managers.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/nautilus_file_manager.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tessary;

void BM_BridgeActiveWindow(benchmark::State& state)
{
    NautilusFileManager files;
    if (!files.bridgeActiveWindow()) {
        state.SkipWithError("the bridge does not answer");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(files.bridgeActiveWindow());
    }
}
BENCHMARK(BM_BridgeActiveWindow);

void BM_OpenWindowsWithLocations(benchmark::State& state)
{
    NautilusFileManager files;
    FileManagerError error;
    for (auto _ : state) {
        benchmark::DoNotOptimize(files.openWindowsWithLocations(&error));
    }
}
BENCHMARK(BM_OpenWindowsWithLocations);

void BM_FrontFolder(benchmark::State& state)
{
    KnownFileManagers files({"nautilus"});
    LinuxWorkspace workspace;
    FrontFolderQuery frontFolder(files, workspace);
    for (auto _ : state) {
        benchmark::DoNotOptimize(frontFolder.frontFolder());
    }
}
BENCHMARK(BM_FrontFolder);

} // namespace

BENCHMARK_MAIN();

// From a press of the global shortcut to the created file, with the host, Nautilus and its
// module running on the display named by DISPLAY and Files in front showing the folder
// TESSARY_BENCH_FOLDER: each iteration sends Ctrl+Alt+N through XTest (no process start in
// between) and waits until the folder holds one more file. tests/e2e/shortcut.sh runs it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {

std::size_t entries(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

void BM_ShortcutPressToFile(benchmark::State& state)
{
    const char* folder = std::getenv("TESSARY_BENCH_FOLDER");
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (folder == nullptr || xcb_connection_has_error(connection) != 0) {
        state.SkipWithError("needs DISPLAY and TESSARY_BENCH_FOLDER");
        xcb_disconnect(connection);
        return;
    }
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    std::vector<xcb_keycode_t> keys;
    for (const xcb_keysym_t keysym : {0xffe3U, 0xffe9U, xcb_keysym_t{'n'}}) { // Ctrl, Alt, N
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        keys.push_back(codes != nullptr ? codes[0] : 0);
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);
    for (auto _ : state) {
        const std::size_t before = entries(folder);
        const auto start = std::chrono::steady_clock::now();
        for (const xcb_keycode_t key : keys) {
            xcb_test_fake_input(connection, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            xcb_test_fake_input(connection, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        }
        xcb_flush(connection);
        while (entries(folder) == before) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
                state.SkipWithError("no file after the press");
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        // Files reveals each new file; let it settle outside the measured time.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    xcb_disconnect(connection);
}
BENCHMARK(BM_ShortcutPressToFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

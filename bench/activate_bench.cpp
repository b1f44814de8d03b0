// How long choosing a menu item holds Nautilus's UI thread: the real module in the module
// test host, with a host that listens but never answers. Prints the first, median, 99th
// percentile and longest `activate` call.
// Run: build/release/bench/activate_bench [CLICKS]   (default 200)
#include "shared/host_channel.h"
#include "nautilus_test_host.h"
#include "shared/shared_settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace tessary;
    using Clock = std::chrono::steady_clock;
    const int clicks = std::max(1, argc > 1 ? std::atoi(argv[1]) : 200);
    char pattern[] = "/tmp/tessary-activate-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    std::filesystem::create_directory(root / "run", root);
    std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    ::setenv("TESSARY_LOG", "stderr", 1);
    SharedSettings settings;
    settings.rootBookmark = Bytes{1}; // a grant is stored: the host is not brought forward
    static_cast<void>(settings.save());

    // The host that never answers: it listens, and takes nobody.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, hostSocketPath(true)->c_str(), sizeof(address.sun_path) - 1);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener, 1024) != 0) {
        std::perror("listen");
        return 1;
    }

    const GType type = test::loadNautilusModule(TESSARY_MODULE);
    auto* provider = NAUTILUS_MENU_PROVIDER(g_object_new(type, nullptr));
    NautilusFileInfo* folder = test::fileInfo(test::fileUri(root));
    GList* items = nautilus_menu_provider_get_background_items(provider, folder);
    if (items == nullptr) {
        std::fprintf(stderr, "no menu\n");
        return 1;
    }
    std::vector<double> micros;
    for (int i = 0; i < clicks; ++i) {
        const auto start = Clock::now();
        nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const double first = micros.front();
    std::sort(micros.begin(), micros.end());
    std::printf("activate with a host that never answers, %d clicks: first %.1f µs, median %.1f "
                "µs, 99th percentile %.1f µs, max %.1f µs\n",
                clicks, first, micros[micros.size() / 2], micros[micros.size() * 99 / 100],
                micros.back());
    std::fflush(stdout);
    std::filesystem::remove_all(root);
    std::_Exit(0); // the worker still waits on the silent host; nothing to wait for here
}

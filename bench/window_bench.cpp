// First paint of a new window: the time from starting a program until the X server sees it
// draw into its top-level window (a Damage event), for `tessary` started with no host
// running (it opens "Tessary Settings") against a bare Qt Widgets window with a list and a
// form, in alternating pairs after one pair for warm-up. Run inside a private desktop:
//
//   tests/integration/with-desktop.sh -- build/release/bench/window_bench [PAIRS]
//
// Prints the medians in milliseconds and the median of the pairs' ratios.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Program {
    const char* path;
    const char* title;
};

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0; // windows come and go while we look at them
}

std::string windowName(Display* display, Window window)
{
    static const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* value = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, netName, 0, 256, False, AnyPropertyType, &type, &format,
                           &count, &after, &value) == Success &&
        value != nullptr) {
        name.assign(reinterpret_cast<const char*>(value), count);
    }
    if (value != nullptr) {
        XFree(value);
    }
    return name;
}

pid_t spawn(const char* path)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(path), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, path, &actions, nullptr, argv, environ) != 0) {
        std::perror(path);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Milliseconds from the start of `program` to the first drawing into its titled window.
double firstPaint(Display* display, int damageEvent, const Program& program)
{
    std::set<Window> created;
    std::map<Window, Clock::time_point> painted;
    std::optional<Window> target;
    const auto start = Clock::now();
    const pid_t pid = spawn(program.path);
    while (!target || !painted.contains(*target)) {
        if (Clock::now() - start > std::chrono::seconds(20)) {
            std::fprintf(stderr, "window_bench: %s showed no window\n", program.path);
            std::exit(1);
        }
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify) {
                created.insert(event.xcreatewindow.window);
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            } else if (event.type == damageEvent + XDamageNotify) {
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                painted.try_emplace(damage.drawable, Clock::now());
                XDamageSubtract(display, damage.damage, None, None);
            }
        }
        for (const Window window : created) {
            if (!target && windowName(display, window) == program.title) {
                target = window;
            }
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        ::poll(&connection, 1, 1);
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    XSync(display, True);
    return std::chrono::duration<double, std::milli>(painted[*target] - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 15;
    Display* display = XOpenDisplay(nullptr);
    int damageEvent = 0;
    int damageError = 0;
    if (display == nullptr || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "window_bench: needs an X display with the DAMAGE extension\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    const Program settings{TESSARY_HOST_BINARY, "Tessary Settings"};
    const Program bare{TESSARY_BARE_WINDOW, "Bare Window"};
    std::vector<double> settingsTimes;
    std::vector<double> bareTimes;
    std::vector<double> ratios;
    for (int pair = 0; pair <= pairs; ++pair) {
        double a = 0;
        double b = 0;
        if (pair % 2 == 0) {
            a = firstPaint(display, damageEvent, settings);
            b = firstPaint(display, damageEvent, bare);
        } else {
            b = firstPaint(display, damageEvent, bare);
            a = firstPaint(display, damageEvent, settings);
        }
        if (pair == 0) {
            continue; // warm-up
        }
        settingsTimes.push_back(a);
        bareTimes.push_back(b);
        ratios.push_back(a / b);
    }
    std::printf("first paint, median of %d pairs: tessary %.1f ms, bare window %.1f ms, "
                "ratio %.2f\n",
                pairs, median(settingsTimes), median(bareTimes), median(ratios));
    XCloseDisplay(display);
    return 0;
}

// Whole-road timings of the host, run inside a private desktop (tests/integration/
// with-desktop.sh) with python3-dbusmock as the file manager:
//
//   road_bench warm [N]      N requests to a running host, each from handing over a signed
//                            URL until the file manager receives ShowItems for the new file
//   road_bench cold [N]      `tessary URL` with no host running until the file exists,
//                            against a bare QApplication start, alternately
//   road_bench idle [SECONDS] the running host's private memory and its wake-ups while idle
//
// Prints medians and 95th percentiles in microseconds (or the idle figures).
#include "shared/create_request.h"
#include "shared/defaults_store.h"
#include "shared/host_channel.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace tessary;
using Clock = std::chrono::steady_clock;

long long monotonicMicros()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

pid_t spawn(const std::vector<std::string>& arguments, const fs::path& output)
{
    std::vector<std::string> copy = arguments;
    std::vector<char*> argv;
    for (auto& argument : copy) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// Polls `condition` every `step` until it holds; exits the program after 20 s.
template <typename Condition>
void waitFor(Condition&& condition, const char* what,
             std::chrono::microseconds step = std::chrono::microseconds(20))
{
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "road_bench: gave up waiting for %s\n", what);
            std::exit(1);
        }
        std::this_thread::sleep_for(step);
    }
}

// Follows the file manager's call log; a line counts from the moment it is seen.
class EventLog {
public:
    explicit EventLog(fs::path path) : m_path(std::move(path)) {}

    // The time (monotonic µs) the first new line that contains `text` was seen, if one has.
    std::optional<long long> find(const std::string& text)
    {
        std::ifstream in(m_path);
        in.seekg(m_offset);
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) {
                break; // a line still being written
            }
            m_offset = in.tellg();
            if (line.find(text) != std::string::npos) {
                return monotonicMicros();
            }
        }
        return std::nullopt;
    }

private:
    fs::path m_path;
    std::streamoff m_offset = 0;
};

std::string fileUri(const fs::path& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char character : path.string()) {
        const auto c = static_cast<unsigned char>(character);
        if (std::isalnum(c) ||
            std::string_view("-._~/").find(static_cast<char>(c)) != std::string_view::npos) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

void report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    std::printf("%s: n=%zu median=%.1f p95=%.1f min=%.1f max=%.1f\n", what, samples.size(), at(0.5),
                at(0.95), samples.front(), samples.back());
}

struct Setup {
    fs::path work;
    fs::path host = TESSARY_HOST_BINARY;
    fs::path log;

    Setup()
    {
        std::string pattern = (fs::temp_directory_path() / "tessary-bench-XXXXXX").string();
        work = ::mkdtemp(pattern.data());
        log = work / "processes.log";
        waitForExit(spawn({host, "grant", work.string()}, log));
    }
    ~Setup() { fs::remove_all(work); }

    static void waitForExit(pid_t pid) { ::waitpid(pid, nullptr, 0); }

    pid_t startHost()
    {
        const pid_t pid = spawn({host}, log);
        waitFor([] { return deliverToHost({}).status == DeliveryStatus::delivered; }, "the host",
                std::chrono::milliseconds(5));
        return pid;
    }

    // Serves org.freedesktop.FileManager1 with python3-dbusmock, logging each call.
    pid_t startFileManager()
    {
        const char* name = "org.freedesktop.FileManager1";
        const char* path = "/org/freedesktop/FileManager1";
        const pid_t pid = spawn({"/usr/bin/python3", "-m", "dbusmock", "--session", name, path,
                                 name, "-l", fileManagerLog().string()},
                                log);
        waitForExit(spawn({"/usr/bin/gdbus", "wait", "--session", "--timeout", "20", name}, log));
        waitForExit(spawn({"/usr/bin/gdbus", "call", "--session", "-d", name, "-o", path, "-m",
                           "org.freedesktop.DBus.Mock.AddMethod", name, "ShowItems", "ass", "", ""},
                          log));
        return pid;
    }
    fs::path fileManagerLog() const { return work / "file-manager.log"; }
};

int warm(int count)
{
    Setup setup;
    EventLog log(setup.fileManagerLog());
    const pid_t fileManager = setup.startFileManager();
    const pid_t host = setup.startHost();

    const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
    std::vector<double> samples;
    for (int i = 0; i < count + 50; ++i) { // the first 50 warm up and are not counted
        const fs::path folder = setup.work / ("folder " + std::to_string(i));
        fs::create_directory(folder);
        const std::string url =
            *CreateRequest{folder.string(), 0}.signedURL(key, CreateRequest::Clock::now());
        const std::string expected = "ShowItems [\"" + fileUri(folder / "untitled.txt") + "\"]";
        const long long start = monotonicMicros();
        if (deliverToHost({{url}, false, false}).status != DeliveryStatus::delivered) {
            std::fprintf(stderr, "road_bench: delivery failed\n");
            return 1;
        }
        std::optional<long long> shown;
        waitFor([&] { return (shown = log.find(expected)).has_value(); }, expected.c_str(),
                std::chrono::microseconds(10));
        if (!fs::exists(folder / "untitled.txt")) {
            std::fprintf(stderr, "road_bench: ShowItems before the file existed\n");
            return 1;
        }
        if (i >= 50) {
            samples.push_back(static_cast<double>(*shown - start));
        }
    }
    stop(host);
    stop(fileManager);
    report("warm road (µs, URL handed over → ShowItems in the file manager's log)", samples);
    return 0;
}

int cold(int count)
{
    Setup setup;
    const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
    std::vector<double> road;
    std::vector<double> bare;
    std::vector<double> ratios;
    for (int i = 0; i < count + 1; ++i) { // the first pair warms the caches and is not counted
        const fs::path folder = setup.work / ("cold " + std::to_string(i));
        fs::create_directory(folder);
        const std::string url =
            *CreateRequest{folder.string(), 0}.signedURL(key, CreateRequest::Clock::now());
        long long start = monotonicMicros();
        const pid_t host = spawn({setup.host, url}, setup.log);
        waitFor([&] { return fs::exists(folder / "untitled.txt"); }, "the cold road's file",
                std::chrono::microseconds(200));
        const double roadMicros = static_cast<double>(monotonicMicros() - start);
        stop(host);

        start = monotonicMicros();
        Setup::waitForExit(spawn({TESSARY_BARE_QAPPLICATION}, setup.log));
        const double bareMicros = static_cast<double>(monotonicMicros() - start);
        if (i > 0) {
            road.push_back(roadMicros);
            bare.push_back(bareMicros);
            ratios.push_back(roadMicros / bareMicros);
        }
    }
    report("cold road (µs, `tessary URL` → file exists)", road);
    report("bare QApplication start (µs)", bare);
    std::sort(ratios.begin(), ratios.end());
    std::printf("cold road / bare QApplication: median ratio %.2f\n", ratios[ratios.size() / 2]);
    return 0;
}

// Each thread's context switches (voluntary and not) and name, by thread id.
std::map<std::string, std::pair<long long, std::string>> threadSwitches(pid_t pid)
{
    std::map<std::string, std::pair<long long, std::string>> threads;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        auto& [switches, name] = threads[task.path().filename().string()];
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("Name:")) {
                name = line.substr(line.find_first_not_of(" \t", 5));
            } else if (line.starts_with("voluntary_ctxt_switches:") ||
                       line.starts_with("nonvoluntary_ctxt_switches:")) {
                switches += std::stoll(line.substr(line.find(':') + 1));
            }
        }
    }
    return threads;
}

// Kilobytes of the process's memory that no other process shares: {dirty, clean + dirty}.
// Clean library pages count as private only while no other process maps the library, so
// the second figure is the worst case of a desktop where nothing else uses Qt or GLib.
std::pair<long long, long long> privateKilobytes(pid_t pid)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    long long dirty = 0;
    long long clean = 0;
    for (std::string line; std::getline(rollup, line);) {
        const bool isDirty = line.starts_with("Private_Dirty:");
        if (isDirty || line.starts_with("Private_Clean:")) {
            std::istringstream fields(line.substr(line.find(':') + 1));
            long long kilobytes = 0;
            fields >> kilobytes;
            (isDirty ? dirty : clean) += kilobytes;
        }
    }
    return {dirty, clean + dirty};
}

int idle(int seconds)
{
    Setup setup;
    const pid_t fileManager = setup.startFileManager();
    const pid_t host = setup.startHost();
    // One request first, so the idle host is one that has done its work.
    const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
    deliverToHost(
        {{*CreateRequest{setup.work.string(), 0}.signedURL(key, CreateRequest::Clock::now())},
         false,
         false});
    waitFor([&] { return fs::exists(setup.work / "untitled.txt"); }, "the first file");
    std::this_thread::sleep_for(std::chrono::seconds(2));

    // A thread that starts or ends in the window counts as a wake-up, and is named; one
    // that started also brings its own switches.
    const auto before = threadSwitches(host);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto after = threadSwitches(host);
    long long wakeUps = 0;
    std::string changes;
    for (const auto& [tid, thread] : after) {
        const auto earlier = before.find(tid);
        wakeUps += thread.first - (earlier != before.end() ? earlier->second.first : -1);
        changes += earlier != before.end() ? "" : " started " + thread.second + ";";
    }
    for (const auto& [tid, thread] : before) {
        if (!after.contains(tid)) {
            ++wakeUps;
            changes += " ended " + thread.second + ";";
        }
    }
    const auto [dirty, unique] = privateKilobytes(host);
    std::printf("idle host: private dirty memory %.1f MB, unique set %.1f MB, %lld wake-ups in "
                "%d s, %zu threads%s\n",
                static_cast<double>(dirty) / 1024.0, static_cast<double>(unique) / 1024.0, wakeUps,
                seconds, after.size(), changes.c_str());
    stop(host);
    stop(fileManager);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    ::setenv("TESSARY_LOG", "stderr", 1);
    if (mode == "warm") {
        return warm(number > 0 ? number : 1000);
    }
    if (mode == "cold") {
        return cold(number > 0 ? number : 20);
    }
    if (mode == "idle") {
        return idle(number > 0 ? number : 60);
    }
    std::fprintf(stderr, "usage: road_bench warm [N] | cold [N] | idle [SECONDS]\n");
    return 2;
}

// Child processes, whole-file reads and waits with a deadline, for tests that drive real
// programs.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tessary::test {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded CI machine under the sanitizers; waits end as soon as they can.
inline constexpr std::chrono::milliseconds kDeadline{20'000};

// Polls `condition` until it holds or `timeout` passes; `pump` runs between polls (to turn
// an event loop). True when the condition held.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = kDeadline,
               const std::function<void()>& pump = {});

// The whole file, or "" if it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Where a child's standard output and error go; inherited when not set.
struct ChildOutput {
    std::optional<std::filesystem::path> out;
    std::optional<std::filesystem::path> err;
};

// A child process (looked up on PATH), sent SIGTERM and reaped when this object goes.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const ChildOutput& output = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    bool running();
    // Waits for the end; the exit status, -1 if killed at the deadline or by a signal.
    int wait();
    // SIGTERM, then waits (SIGKILL after the deadline); the exit status, -1 if killed.
    int stop();

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs a program to its end (killed at the deadline) and returns its exit status.
int runProgram(const std::string& program, const std::vector<std::string>& arguments,
               const ChildOutput& output = {});

// Ends a process this one did not start as a ChildProcess but will reap (a subreaper's
// grandchild): SIGTERM, then SIGKILL after the deadline.
void stopProcess(pid_t pid);

} // namespace tessary::test

// Shared by every test program: private configuration and runtime folders, log capture,
// child processes and waits with a deadline.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessary::test {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded CI machine under the sanitizers; waits end as soon as they can.
inline constexpr std::chrono::milliseconds kDeadline{20'000};

// Polls `condition` until it holds or `timeout` passes; `pump` runs between polls (to turn
// an event loop). True when the condition held.
inline bool waitUntil(
    const std::function<bool()>& condition, std::chrono::milliseconds timeout = kDeadline,
    const std::function<void()>& pump = [] {})
{
    for (const auto deadline = Clock::now() + timeout; !condition();) {
        if (Clock::now() >= deadline) {
            return false;
        }
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The whole file, or "" if it cannot be read.
inline std::string readFile(const fs::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A fresh folder under the temporary directory, removed with its contents.
struct TemporaryFolder {
    TemporaryFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tessary-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        }
        m_path = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& path() const { return m_path; }

    fs::path m_path;
};

// Gives each test its own XDG_CONFIG_HOME and XDG_RUNTIME_DIR (0700, where the host channel
// lives) and a scratch folder; the environment is restored afterwards.
class ConfigFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(runtimeFolder());
        fs::permissions(runtimeFolder(), fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directory(scratchFolder());
        for (const auto& [name, value] : {std::pair{"XDG_CONFIG_HOME", configHome()},
                                          std::pair{"XDG_RUNTIME_DIR", runtimeFolder()}}) {
            m_saved.emplace_back(name, std::getenv(name) ? std::getenv(name) : "");
            ::setenv(name, value.c_str(), 1);
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }

    fs::path configHome() const { return m_folder.path() / "config"; }
    fs::path runtimeFolder() const { return m_folder.path() / "runtime"; }
    fs::path scratchFolder() const { return m_folder.path() / "scratch"; }

private:
    TemporaryFolder m_folder;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

// Sends this process's stderr, where the logger writes under TESSARY_LOG=stderr, to a file
// while it lives, so a test can read the log as it grows.
struct LogCapture {
    LogCapture() : m_savedStderr(::dup(STDERR_FILENO))
    {
        const int fd = ::open((m_folder.path() / "log").c_str(), O_WRONLY | O_CREAT, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~LogCapture()
    {
        ::dup2(m_savedStderr, STDERR_FILENO);
        ::close(m_savedStderr);
    }

    std::string text() const { return readFile(m_folder.path() / "log"); }

    TemporaryFolder m_folder;
    int m_savedStderr;
};

// Runs `work` and returns what it logged.
inline std::string capturedLog(const std::function<void()>& work)
{
    const LogCapture capture;
    work();
    return capture.text();
}

// The exit status of an ended child (-1 after a signal); none while it runs.
inline std::optional<int> reap(pid_t pid, int flags = WNOHANG)
{
    int status = 0;
    return ::waitpid(pid, &status, flags) != pid
               ? std::nullopt
               : std::optional(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// Ends a child, this process's own or a subreaper's grandchild: SIGTERM, then SIGKILL after
// the deadline.
inline void stopProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    if (!waitUntil([&] { return reap(pid).has_value(); })) {
        ::kill(pid, SIGKILL);
        reap(pid, 0);
    }
}

// A child process (looked up on PATH) with its input from /dev/null and its output and
// error into `output` (inherited without one), sent SIGTERM and reaped when this goes.
struct ChildProcess {
    ChildProcess(const std::string& program, std::vector<std::string> arguments,
                 const std::optional<fs::path>& output = {})
    {
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (output) {
            posix_spawn_file_actions_addopen(&actions, 1, output->c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
        const int error =
            ::posix_spawnp(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            throw std::system_error(error, std::generic_category(), "cannot start " + program);
        }
    }
    ~ChildProcess()
    {
        if (!m_status) {
            stopProcess(m_pid);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end (killed at the deadline); the exit status, -1 if killed.
    int wait()
    {
        return waitUntil([&] { return (m_status = reap(m_pid)).has_value(); }) ? *m_status : -1;
    }

    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs a program to its end (killed at the deadline) and returns its exit status.
inline int runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::optional<fs::path>& output = {})
{
    return ChildProcess(program, arguments, output).wait();
}

} // namespace tessary::test

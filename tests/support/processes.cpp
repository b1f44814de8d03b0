// posix_spawn-based child processes and polling waits.
#include "processes.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tessary::test {
namespace {

constexpr std::chrono::milliseconds kPollInterval{5};

std::optional<int> reap(pid_t pid, int flags)
{
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, flags);
    } while (result < 0 && errno == EINTR);
    if (result != pid) {
        return std::nullopt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& pump)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        if (pump) {
            pump();
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const ChildOutput& output)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Tests never type into their children.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    constexpr int kWrite = O_WRONLY | O_CREAT | O_TRUNC;
    if (output.out) {
        posix_spawn_file_actions_addopen(&actions, 1, output.out->c_str(), kWrite, 0600);
    }
    if (output.err) {
        posix_spawn_file_actions_addopen(&actions, 2, output.err->c_str(), kWrite, 0600);
    }
    const int error =
        ::posix_spawnp(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot start " + program);
    }
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::running()
{
    if (!m_status) {
        m_status = reap(m_pid, WNOHANG);
    }
    return !m_status;
}

int ChildProcess::wait()
{
    if (!waitUntil([&] { return !running(); })) {
        return stop();
    }
    return m_status.value_or(-1);
}

int ChildProcess::stop()
{
    if (running()) {
        ::kill(m_pid, SIGTERM);
        if (!waitUntil([&] { return !running(); })) {
            ::kill(m_pid, SIGKILL);
            m_status = reap(m_pid, 0);
        }
    }
    return m_status.value_or(-1);
}

int runProgram(const std::string& program, const std::vector<std::string>& arguments,
               const ChildOutput& output)
{
    return ChildProcess(program, arguments, output).wait();
}

void stopProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    if (!waitUntil([&] { return reap(pid, WNOHANG).has_value(); })) {
        ::kill(pid, SIGKILL);
        reap(pid, 0);
    }
}

} // namespace tessary::test

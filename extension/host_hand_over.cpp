// Delivery over the host channel, and starting the host when nobody listens.
#include "host_hand_over.h"

#include "host_channel.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessary {

HostHandOver::HostHandOver(std::filesystem::path hostBinary, Spawn spawn)
    : m_hostBinary(std::move(hostBinary)), m_spawn(spawn ? std::move(spawn) : Spawn(spawnDetached))
{
}

std::vector<std::string> HostHandOver::hostCommand(const std::string& url, bool activates) const
{
    std::vector<std::string> argv{m_hostBinary.string()};
    if (activates) {
        argv.emplace_back("--activate");
    }
    argv.push_back(url);
    return argv;
}

std::optional<std::string> HostHandOver::handOver(const std::string& url, bool activates) const
{
    const DeliveryResult delivery = deliverToHost({{url}, activates, false}, kDeliveryTimeout);
    switch (delivery.status) {
    case DeliveryStatus::delivered:
        return std::nullopt;
    case DeliveryStatus::failed:
        // A host is there but did not take it; a second one would only forward to it.
        return delivery.error;
    case DeliveryStatus::noHost:
        break;
    }
    if (auto error = m_spawn(hostCommand(url, activates))) {
        return "could not start " + m_hostBinary.string() + ": " + *error;
    }
    return std::nullopt;
}

std::optional<std::string> HostHandOver::spawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty()) {
        return "nothing to start";
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    // The host outlives this process; it must not keep the caller's folder busy.
    ::posix_spawn_file_actions_addchdir_np(&actions, "/");
    // Nor the caller's input and output: a caller reading our output through a pipe would
    // otherwise wait until the host exits. Its log lines still go to stderr.
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int code = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (code != 0) {
        return std::strerror(code);
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return std::nullopt;
}

} // namespace tessary

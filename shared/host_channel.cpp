// Client side of the host channel, and the message format both sides use.
#include "shared/host_channel.h"

#include "shared/posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace tessary {
namespace {

using Clock = std::chrono::steady_clock;

std::string errorText(int code)
{
    return std::strerror(code);
}

// Waits until `fd` is ready for `events` or the deadline passes; false on timeout.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

} // namespace

std::string encodeHostMessage(const HostMessage& message)
{
    const nlohmann::json object = {
        {"urls", message.urls},
        {"activates", message.activates},
        {"reopen", message.reopen},
        {"shortcut", message.shortcut},
        {"fileManager", message.fileManager},
    };
    return object.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::optional<HostMessage> decodeHostMessage(std::string_view line)
{
    // A NUL byte is no part of a JSON text; one after the object must not pass unseen.
    if (line.size() > kHostMessageLimit || line.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    HostMessage message;
    const auto urls = object.find("urls");
    if (urls != object.end()) {
        if (!urls->is_array()) {
            return std::nullopt;
        }
        for (const auto& url : *urls) {
            if (!url.is_string()) {
                return std::nullopt;
            }
            message.urls.push_back(url.get<std::string>());
        }
    }
    const auto fileManager = object.find("fileManager");
    if (fileManager != object.end()) {
        if (!fileManager->is_string()) {
            return std::nullopt;
        }
        message.fileManager = fileManager->get<std::string>();
    }
    for (auto [key, flag] :
         {std::pair{"activates", &message.activates}, std::pair{"reopen", &message.reopen},
          std::pair{"shortcut", &message.shortcut}}) {
        const auto found = object.find(key);
        if (found != object.end()) {
            if (!found->is_boolean()) {
                return std::nullopt;
            }
            *flag = found->get<bool>();
        }
    }
    return message;
}

std::optional<std::filesystem::path> hostChannelFolder(bool create)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder =
        runtime != nullptr && runtime[0] == '/'
            ? std::filesystem::path(runtime) / "tessary"
            : std::filesystem::path("/tmp") / ("tessary-" + std::to_string(::getuid()));
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    // Only a folder of ours that nobody else can enter is trusted with the socket.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return std::nullopt;
    }
    return folder;
}

std::optional<std::filesystem::path> hostSocketPath(bool create)
{
    auto folder = hostChannelFolder(create);
    if (!folder) {
        return std::nullopt;
    }
    return *folder / "host";
}

DeliveryResult deliverToHost(const HostMessage& message, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const auto path = hostSocketPath();
    if (!path) {
        return {DeliveryStatus::noHost, "no private channel folder"};
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path->native().size() >= sizeof(address.sun_path)) {
        return {DeliveryStatus::failed, "the socket path is too long"};
    }
    std::memcpy(address.sun_path, path->c_str(), path->native().size() + 1);

    const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0) {
        return {DeliveryStatus::failed, errorText(errno)};
    }
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
        0) {
        const int code = errno;
        if (code == ENOENT || code == ECONNREFUSED) {
            return {DeliveryStatus::noHost, errorText(code)};
        }
        if (code != EINPROGRESS && code != EAGAIN) {
            return {DeliveryStatus::failed, errorText(code)};
        }
        if (!waitFor(socket.get(), POLLOUT, deadline)) {
            return {DeliveryStatus::failed, "the host did not accept the connection in time"};
        }
    }

    std::string line = encodeHostMessage(message);
    line += '\n';
    std::string_view pending = line;
    while (!pending.empty()) {
        const ssize_t sent = ::send(socket.get(), pending.data(), pending.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            pending.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno == EAGAIN && waitFor(socket.get(), POLLOUT, deadline)) {
            continue;
        }
        return {DeliveryStatus::failed,
                sent < 0 ? errorText(errno) : "the host closed the channel"};
    }

    std::string answer;
    char buffer[16];
    while (answer.find('\n') == std::string::npos && answer.size() < 64) {
        const ssize_t got = ::recv(socket.get(), buffer, sizeof(buffer), 0);
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (const int code = errno; code == EINTR) {
            continue;
        } else if (code != EAGAIN) {
            return {DeliveryStatus::failed, errorText(code)};
        } else if (!waitFor(socket.get(), POLLIN, deadline)) {
            return {DeliveryStatus::failed, "the host did not answer in time"};
        }
    }
    if (answer != "ok\n") {
        return {DeliveryStatus::failed, "the host refused the request"};
    }
    return {DeliveryStatus::delivered, {}};
}

} // namespace tessary

// The way create requests reach the running host: a Unix stream socket in a per-user
// folder ($XDG_RUNTIME_DIR/tessary/host, the folder 0700), one JSON line per delivery,
// answered with the line "ok" once the host has taken it. The extension and a second
// `tessary` process use the client side; the host listens.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct HostMessage {
    std::vector<std::string> urls; // create-request URLs, handled in order
    bool activates = false;        // bring the host to the front (it has no disk grant yet)
    bool reopen = false;           // the user started the host again: show its window
    bool shortcut = false;         // the global shortcut was pressed (a desktop keybinding)
    // The bus name of the file manager whose menu sent the URLs ("org.Nemo"), where the
    // new files are shown; empty when not known.
    std::string fileManager = {};

    friend bool operator==(const HostMessage&, const HostMessage&) = default;
};

// The largest line either side accepts; longer lines are refused unread.
inline constexpr std::size_t kHostMessageLimit = 256 * 1024;

// {"urls":[…],"activates":…,"reopen":…} without a line feed.
std::string encodeHostMessage(const HostMessage& message);
// None for anything that is not such an object (unknown keys are ignored).
std::optional<HostMessage> decodeHostMessage(std::string_view line);

// The per-user folder that holds the socket: $XDG_RUNTIME_DIR/tessary, or
// /tmp/tessary-<uid> when there is no runtime folder. Created 0700 when `create` is set;
// none if it exists but is not a private folder of this user.
std::optional<std::filesystem::path> hostChannelFolder(bool create);
std::optional<std::filesystem::path> hostSocketPath(bool create = false);

enum class DeliveryStatus {
    delivered, // the host answered "ok"
    noHost,    // nobody listens (no socket, or a stale one)
    failed,    // a host listens but the delivery did not complete
};

struct DeliveryResult {
    DeliveryStatus status = DeliveryStatus::failed;
    std::string error; // what went wrong, for the log
};

// Sends one message to the running host and waits for its answer, at most `timeout`.
DeliveryResult deliverToHost(const HostMessage& message,
                             std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace tessary

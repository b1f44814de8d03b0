// The listening side of the host channel: accepts connections from processes of the same
// user, reads one message line each, answers "ok" at once and then hands the message on,
// so no sender waits while the host shows a dialog.
//
// The listening socket outlives every failure it can: past kMaxConnections the oldest
// connection is dropped for the new one, connections without a line are dropped after
// kConnectionTimeoutMs, and when the process runs out of descriptors the waiting connections
// are closed at once (their senders hear so) until descriptors are free again; a socket
// that is deleted or fails is made anew.
#pragma once

#include "shared/host_channel.h"
#include "shared/posix_io.h"

#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QLocalSocket;

namespace tessary {

class HostServer {
public:
    // Connections held open at once (fewer under a small descriptor limit); a sender needs
    // one for a few milliseconds.
    static constexpr std::size_t kMaxConnections = 32;
    // How long a connection may stay without a complete line.
    static constexpr int kConnectionTimeoutMs = 2'000;

    explicit HostServer(std::function<void(HostMessage)> onMessage);
    ~HostServer();
    HostServer(const HostServer&) = delete;
    HostServer& operator=(const HostServer&) = delete;

    // Replaces a socket left by an earlier host (the caller holds the instance lock).
    bool listen(const std::filesystem::path& socketPath, std::string* error);

private:
    bool openSocket(std::string* error);
    void acceptPending();
    bool refuseOne();
    void serve(int fd);
    void checkSocket();

    std::function<void(HostMessage)> m_onMessage;
    std::filesystem::path m_path;
    UniqueFd m_listener;
    ino_t m_inode = 0;
    UniqueFd m_spare; // kept free to take and close a connection when no other one is left
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;                   // accepts again once descriptors may be free
    QFileSystemWatcher m_watcher;     // notices the socket being deleted
    std::deque<QLocalSocket*> m_open; // the connections being served, oldest first
    std::size_t m_maxConnections = kMaxConnections;
    QObject m_connections; // parent of the open connections and of calls not yet made
};

} // namespace tessary

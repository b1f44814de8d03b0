// The listening side of the host channel: accepts connections from processes of the same
// user, reads one message line each, answers "ok" at once and then hands the message on,
// so no sender waits while the host shows a dialog.
#pragma once

#include "host_channel.h"

#include <QLocalServer>

#include <filesystem>
#include <functional>
#include <string>

class QLocalSocket;

namespace tessary {

class HostServer {
public:
    explicit HostServer(std::function<void(HostMessage)> onMessage);

    // Replaces a socket left by an earlier host (the caller holds the instance lock).
    bool listen(const std::filesystem::path& socketPath, std::string* error);

private:
    void accept(QLocalSocket* socket);

    std::function<void(HostMessage)> m_onMessage;
    QLocalServer m_server;
};

} // namespace tessary

// QLocalServer wiring, peer check and line framing.
#include "host_server.h"

#include "logger.h"

#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace tessary {
namespace {

const Logger kLog("app");

constexpr int kConnectionTimeoutMs = 10'000;

bool isSameUser(QLocalSocket* socket)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    return ::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                        &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
}

} // namespace

HostServer::HostServer(std::function<void(HostMessage)> onMessage)
    : m_onMessage(std::move(onMessage))
{
    QObject::connect(&m_server, &QLocalServer::newConnection, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            accept(socket);
        }
    });
}

bool HostServer::listen(const std::filesystem::path& socketPath, std::string* error)
{
    const QString path = QString::fromStdString(socketPath.string());
    QLocalServer::removeServer(path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(path)) {
        *error = m_server.errorString().toStdString();
        return false;
    }
    return true;
}

void HostServer::accept(QLocalSocket* socket)
{
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!isSameUser(socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // A sender that never finishes its line does not keep the connection forever.
    // A QTimer owned by the socket dies with it; a single-shot call with a context object
    // would still wake the host when its time comes.
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    QObject::connect(timeout, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    timeout->start(kConnectionTimeoutMs);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > static_cast<qint64>(kHostMessageLimit)) {
                socket->abort();
                socket->deleteLater();
            }
            return;
        }
        const QByteArray line = socket->readLine(static_cast<qint64>(kHostMessageLimit) + 2);
        std::optional<HostMessage> message;
        if (line.endsWith('\n')) {
            message = decodeHostMessage(
                std::string_view(line.constData(), static_cast<std::size_t>(line.size() - 1)));
        }
        if (!message) {
            kLog.error("Dropped a malformed message on the host channel");
            socket->abort();
            socket->deleteLater();
            return;
        }
        socket->write("ok\n");
        socket->flush();
        socket->disconnectFromServer();
        socket->deleteLater(); // and its timeout with it, so an idle host stays asleep
        QTimer::singleShot(0, [this, message = *std::move(message)] { m_onMessage(message); });
    });
}

} // namespace tessary

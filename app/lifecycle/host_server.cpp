// The listening socket, its accept loop under descriptor exhaustion, peer check and line
// framing.
#include "lifecycle/host_server.h"

#include "shared/logger.h"

#include <QLocalSocket>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary {
namespace {

const Logger kLog("app");

constexpr int kRetryMs = 200;

bool isSameUser(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
}

int acceptConnection(int listener)
{
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

} // namespace

HostServer::HostServer(std::function<void(HostMessage)> onMessage)
    : m_onMessage(std::move(onMessage)), m_spare(::open("/dev/null", O_RDONLY | O_CLOEXEC))
{
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, [this] {
        if (!m_notifier) {
            checkSocket();
            return;
        }
        m_notifier->setEnabled(true);
        acceptPending();
    });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, [this] { checkSocket(); });
}

HostServer::~HostServer()
{
    for (QLocalSocket* socket : m_open) {
        socket->disconnect(); // its signals reach nothing that is going away with it
    }
    if (m_listener) {
        ::unlink(m_path.c_str());
    }
}

bool HostServer::listen(const std::filesystem::path& socketPath, std::string* error)
{
    m_path = socketPath;
    // Connections may take a quarter of the descriptors at most, so that they alone never
    // exhaust them.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        m_maxConnections = std::clamp<std::size_t>(limit.rlim_cur / 4, 4, kMaxConnections);
    }
    if (!openSocket(error)) {
        return false;
    }
    m_watcher.addPath(QString::fromStdString(socketPath.parent_path().string()));
    return true;
}

bool HostServer::openSocket(std::string* error)
{
    if (m_notifier) { // this may run inside its signal
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    m_listener.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.native().size() >= sizeof(address.sun_path)) {
        *error = "the socket path is too long";
        return false;
    }
    std::memcpy(address.sun_path, m_path.c_str(), m_path.native().size() + 1);
    ::unlink(m_path.c_str());
    struct stat info {};
    if (!m_listener ||
        ::bind(m_listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
            0 ||
        ::chmod(m_path.c_str(), 0600) != 0 || ::listen(m_listener.get(), SOMAXCONN) != 0 ||
        ::stat(m_path.c_str(), &info) != 0) {
        *error = std::strerror(errno);
        m_listener.reset();
        return false;
    }
    m_inode = info.st_ino;
    m_notifier = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        guarded(kLog, "Accepting a connection", [this] { acceptPending(); });
    });
    return true;
}

void HostServer::acceptPending()
{
    while (m_listener) {
        const int fd = acceptConnection(m_listener.get());
        if (fd >= 0) {
            if (m_open.size() >= m_maxConnections) {
                // A sender writes its line at once: the oldest connection is the idlest.
                QLocalSocket* oldest = m_open.front();
                m_open.pop_front();
                oldest->abort();
                oldest->deleteLater();
            }
            serve(fd);
            continue;
        }
        switch (errno) {
        case EINTR:
        case ECONNABORTED:
            continue;
        case EAGAIN:
            return;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            if (!m_spare) {
                m_spare.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
            }
            if (!m_spare) {
                // Nothing left to refuse with: stop listening for readiness, which would
                // only repeat, and try again shortly.
                m_notifier->setEnabled(false);
                m_retry.start(kRetryMs);
                return;
            }
            if (!refuseOne()) {
                return; // nobody is waiting (accept fails this way with an empty queue too)
            }
            continue;
        default: {
            const std::string reason = std::strerror(errno);
            std::string error;
            if (!openSocket(&error)) {
                kLog.error("The host channel failed (%{public}s) and could not be made again: "
                           "%{public}s",
                           reason, error);
                m_retry.start(kRetryMs);
            }
            return;
        }
        }
    }
}

// Out of descriptors: the spare one makes room to take the oldest waiting connection and
// close it, so its sender is not left waiting. False when nobody was waiting.
bool HostServer::refuseOne()
{
    m_spare.reset();
    const int fd = acceptConnection(m_listener.get());
    if (fd >= 0) {
        ::close(fd);
    }
    m_spare.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    return fd >= 0;
}

// Makes the socket again when it was deleted or replaced, or when an earlier attempt failed.
void HostServer::checkSocket()
{
    struct stat info {};
    if (m_listener && ::stat(m_path.c_str(), &info) == 0 && info.st_ino == m_inode &&
        S_ISSOCK(info.st_mode)) {
        return;
    }
    std::string error;
    if (openSocket(&error)) {
        kLog.info("The host channel was gone; listening again on %{public}s", m_path.string());
    } else {
        kLog.error("Could not listen again on %{public}s: %{public}s", m_path.string(), error);
    }
}

void HostServer::serve(int fd)
{
    if (!isSameUser(fd)) {
        ::close(fd);
        return;
    }
    auto* socket = new QLocalSocket(&m_connections);
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(fd);
        delete socket;
        return;
    }
    m_open.push_back(socket);
    QObject::connect(socket, &QObject::destroyed, &m_connections,
                     [this, socket] { std::erase(m_open, socket); });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto drop = [socket] {
        socket->abort();
        socket->deleteLater();
    };
    // A sender that never finishes its line does not keep the connection. A QTimer owned by
    // the socket dies with it; a single-shot call with a context object would still wake the
    // host when its time comes.
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    QObject::connect(timeout, &QTimer::timeout, socket, drop);
    timeout->start(kConnectionTimeoutMs);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, drop] {
        guarded(kLog, "Reading a message", [&] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > static_cast<qint64>(kHostMessageLimit)) {
                    drop();
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
                drop();
                return;
            }
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            socket->deleteLater(); // and its timeout with it, so an idle host stays asleep
            QTimer::singleShot(0, &m_connections, [this, message = *std::move(message)] {
                guarded(kLog, "Handling a message", [&] { m_onMessage(message); });
            });
        });
    });
}

} // namespace tessary

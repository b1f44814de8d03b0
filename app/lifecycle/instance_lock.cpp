// flock() on "host.lock" in the private channel folder.
#include "lifecycle/instance_lock.h"

#include "shared/host_channel.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessary {

std::unique_ptr<InstanceLock> InstanceLock::acquire(std::string* error)
{
    const auto folder = hostChannelFolder(true);
    if (!folder) {
        *error = "the folder for the host channel is missing or not private";
        return nullptr;
    }
    const int fd = ::open((*folder / "host.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? "another host is running" : std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd, *folder / "host"));
}

InstanceLock::InstanceLock(int fd, std::filesystem::path socketPath)
    : m_fd(fd), m_socketPath(std::move(socketPath))
{
}

InstanceLock::~InstanceLock()
{
    ::close(m_fd);
}

} // namespace tessary

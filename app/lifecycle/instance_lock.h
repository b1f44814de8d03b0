// The per-user lock that makes one host process the instance: held for the life of the
// process, released by the kernel when it ends (so a crashed host leaves nothing stale).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace tessary {

class InstanceLock {
public:
    // The lock if this process could take it; none when another host holds it or the
    // channel folder is unusable (`error` says which).
    static std::unique_ptr<InstanceLock> acquire(std::string* error);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Where the instance listens.
    const std::filesystem::path& socketPath() const { return m_socketPath; }

private:
    InstanceLock(int fd, std::filesystem::path socketPath);

    int m_fd;
    std::filesystem::path m_socketPath;
};

} // namespace tessary

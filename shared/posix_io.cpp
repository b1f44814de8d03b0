// File-descriptor ownership and complete writes.
#include "shared/posix_io.h"

#include <cerrno>

#include <unistd.h>

namespace tessary {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

std::error_code writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {errno, std::generic_category()};
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

} // namespace tessary

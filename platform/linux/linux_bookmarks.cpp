// Recording, resolving and enforcing folder grants.
#include "platform/linux/linux_bookmarks.h"

#include "shared/localization.h"
#include "shared/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

namespace tessary {
namespace {

std::optional<std::filesystem::path> realPath(const std::filesystem::path& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::filesystem::path result(resolved);
    std::free(resolved);
    return result;
}

} // namespace

std::vector<std::uint8_t> LinuxBookmarks::create(const std::filesystem::path& folder)
{
    const auto real = realPath(folder);
    struct stat info {};
    if (!real || ::stat(real->c_str(), &info) != 0) {
        throw std::system_error(errno, std::generic_category());
    }
    if (!S_ISDIR(info.st_mode)) {
        throw std::system_error(ENOTDIR, std::generic_category());
    }
    const nlohmann::json record = {
        {"path", real->string()},
        {"device", static_cast<std::uint64_t>(info.st_dev)},
        {"inode", static_cast<std::uint64_t>(info.st_ino)},
    };
    const std::string text = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return {text.begin(), text.end()};
}

ResolvedBookmark LinuxBookmarks::resolve(const std::vector<std::uint8_t>& bookmark)
{
    const nlohmann::json record = nlohmann::json::parse(bookmark, nullptr, false);
    if (!record.is_object() || !record.contains("path") || !record["path"].is_string() ||
        !record.contains("device") || !record["device"].is_number_unsigned() ||
        !record.contains("inode") || !record["inode"].is_number_unsigned()) {
        throw BookmarkError(tr("The bookmark data is damaged."));
    }
    const std::filesystem::path path = record["path"].get<std::string>();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw BookmarkError(tr("The folder “%@” no longer exists.", path.string()));
    }
    const bool sameFolder = info.st_dev == record["device"].get<std::uint64_t>() &&
                            info.st_ino == record["inode"].get<std::uint64_t>();
    return {path, !sameFolder};
}

bool LinuxBookmarks::startAccessing(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    m_scopes.push_back({folder, info.st_dev, info.st_ino});
    return true;
}

void LinuxBookmarks::stopAccessing(const std::filesystem::path& folder)
{
    const auto found = std::find_if(m_scopes.rbegin(), m_scopes.rend(),
                                    [&](const Scope& scope) { return scope.path == folder; });
    if (found != m_scopes.rend()) {
        m_scopes.erase(std::next(found).base());
    } else if (!m_scopes.empty()) {
        m_scopes.pop_back();
    }
}

bool LinuxBookmarks::mayWriteIn(int folder)
{
    if (m_scopes.empty()) {
        return true;
    }
    // Up from the folder itself through "..", which no symbolic link and no path length
    // can fool, until a granted folder or the root.
    UniqueFd current(::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (current.get() < 0 || ::fstat(current.get(), &info) != 0) {
        return false;
    }
    while (true) {
        for (const Scope& scope : m_scopes) {
            if (scope.device == info.st_dev && scope.inode == info.st_ino) {
                return true;
            }
        }
        UniqueFd parent(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat parentInfo {};
        if (parent.get() < 0 || ::fstat(parent.get(), &parentInfo) != 0) {
            return false;
        }
        if (parentInfo.st_dev == info.st_dev && parentInfo.st_ino == info.st_ino) {
            return false; // the root, and no granted folder on the way
        }
        current = std::move(parent);
        info = parentInfo;
    }
}

} // namespace tessary

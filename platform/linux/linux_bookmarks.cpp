// Recording, resolving and enforcing folder grants.
#include "linux_bookmarks.h"

#include "localization.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

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

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const std::string& inner = path.native();
    const std::string& outer = folder.native();
    return inner == outer || outer == "/" ||
           (inner.size() > outer.size() && inner.starts_with(outer) && inner[outer.size()] == '/');
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
    const auto real = realPath(folder);
    if (!real) {
        return false;
    }
    m_scopes.push_back(*real);
    return true;
}

void LinuxBookmarks::stopAccessing(const std::filesystem::path& folder)
{
    const auto real = realPath(folder).value_or(folder);
    const auto found = std::find(m_scopes.rbegin(), m_scopes.rend(), real);
    if (found != m_scopes.rend()) {
        m_scopes.erase(std::next(found).base());
    } else if (!m_scopes.empty()) {
        m_scopes.pop_back(); // the folder went away while in use: close the innermost scope
    }
}

bool LinuxBookmarks::mayWriteIn(const std::filesystem::path& folder)
{
    if (m_scopes.empty()) {
        return true;
    }
    const auto real = realPath(folder);
    if (!real) {
        return true; // a folder that does not exist fails the write on its own
    }
    return std::any_of(m_scopes.begin(), m_scopes.end(),
                       [&](const std::filesystem::path& scope) { return isInside(*real, scope); });
}

} // namespace tessary

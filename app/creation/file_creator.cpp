// Free-name search and exclusive creation.
#include "creation/file_creator.h"

#include "shared/localization.h"
#include "shared/logger.h"
#include "shared/posix_io.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

const Logger kLog("creator");

std::error_code errnoCode(int code)
{
    return {code, std::generic_category()};
}

// Names in the folder that the numbered search could run into, read in one pass; none if
// the folder cannot be listed.
std::optional<std::unordered_set<std::string>> namesStartingWith(int folder,
                                                                 const std::string& prefix)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    DIR* listing = ::fdopendir(fd);
    if (listing == nullptr) {
        ::close(fd);
        return std::nullopt;
    }
    std::unordered_set<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(prefix)) {
            names.emplace(name);
        }
    }
    ::closedir(listing);
    return names;
}

std::filesystem::path standardized(const std::filesystem::path& path)
{
    std::filesystem::path normal = path.lexically_normal();
    if (normal.has_relative_path() && !normal.has_filename()) {
        normal = normal.parent_path(); // "/a/b/" and "/a/b" name one folder
    }
    return normal;
}

} // namespace

std::string numberedName(const std::string& baseName, const std::string& fileExtension,
                         unsigned long long n)
{
    std::string name = baseName + "-" + std::to_string(n);
    return fileExtension.empty() ? name : name + "." + fileExtension;
}

FileCreatorError::FileCreatorError(Case kind, const std::string& description)
    : std::runtime_error(description), m_case(kind)
{
}

FileCreatorError FileCreatorError::failed(const std::filesystem::path& file, std::error_code error)
{
    FileCreatorError failure(
        Case::failed, tr("Could not create %@: %@", file.filename().string(), error.message()));
    failure.m_path = file;
    failure.m_underlying = error;
    return failure;
}

FileCreatorError FileCreatorError::invalidName(const std::string& templateName)
{
    return FileCreatorError(
        Case::invalidName,
        tr("The template “%@” has a file name or extension that can’t be used. Names can’t be "
           "empty, “.” or “..”, or contain “/” or “:”.",
           templateName));
}

FileCreator::FileCreator(Bookmarks& bookmarks) : m_bookmarks(bookmarks)
{
}

std::filesystem::path FileCreator::create(const FileTemplate& fileTemplate,
                                          const std::filesystem::path& directory)
{
    if (!isUsableNameComponent(fileTemplate.baseName) ||
        (!fileTemplate.fileExtension.empty() &&
         !isUsableNameComponent(fileTemplate.fileExtension))) {
        throw FileCreatorError::invalidName(fileTemplate.name);
    }

    // Every step below goes through this handle, so a folder renamed or a link changed
    // meanwhile cannot send the file elsewhere, the grant check included.
    const UniqueFd folder(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        throw FileCreatorError::failed(directory / fileTemplate.fileName(), errnoCode(errno));
    }
    if (standardized((directory / fileTemplate.fileName()).parent_path()) !=
        standardized(directory)) {
        throw FileCreatorError::invalidName(fileTemplate.name);
    }
    if (!m_bookmarks.mayWriteIn(folder.get())) {
        throw FileCreatorError::failed(directory / fileTemplate.fileName(), errnoCode(EPERM));
    }

    // The first name whose exclusive create succeeds: a name listed below is skipped, and one
    // the listing misses (on a case-insensitive folder, or made by someone else meanwhile)
    // fails the create and the search goes on. O_EXCL never replaces anything, a symbolic
    // link included.
    std::optional<std::unordered_set<std::string>> taken;
    std::string name;
    UniqueFd out;
    for (unsigned long long n = 1; !out; ++n) {
        name = n == 1 ? fileTemplate.fileName()
                      : numberedName(fileTemplate.baseName, fileTemplate.fileExtension, n);
        if (n == 2) {
            // Read the folder once rather than trying base-2, base-3, ... one by one.
            taken = namesStartingWith(folder.get(), fileTemplate.baseName);
        }
        if (taken && taken->contains(name)) {
            continue;
        }
        out.reset(::openat(folder.get(), name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!out && errno != EEXIST) {
            throw FileCreatorError::failed(directory / name, errnoCode(errno));
        }
        if (!out) {
            kLog.debug("%{public}s exists; trying the next name", (directory / name).string());
        }
    }
    const std::filesystem::path file = directory / name;
    std::error_code error = writeAll(out.get(), fileTemplate.contents);
    if (::close(out.release()) != 0 && !error) {
        error = errnoCode(errno);
    }
    if (error) {
        ::unlinkat(folder.get(), name.c_str(), 0); // a partial file is of no use to anyone
        throw FileCreatorError::failed(file, error);
    }

    kLog.info("Created %{public}s", file.string());
    return file;
}

} // namespace tessary

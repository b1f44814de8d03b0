// Free-name search, exclusive creation and the reveal/open that follow.
#include "file_creator.h"

#include "localization.h"
#include "logger.h"
#include "posix_io.h"

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

// A dangling symbolic link occupies its name as much as a file does.
bool exists(int folder, const std::string& name)
{
    struct stat info {};
    return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
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

FileCreatorError::FileCreatorError(Case kind, const std::string& description)
    : std::runtime_error(description), m_case(kind)
{
}

FileCreatorError FileCreatorError::failed(const std::filesystem::path& url, std::error_code error)
{
    FileCreatorError failure(
        Case::failed, tr("Could not create %@: %@", url.filename().string(), error.message()));
    failure.m_url = url;
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

FileCreator::FileCreator(Workspace& workspace, Bookmarks& bookmarks)
    : m_workspace(workspace), m_bookmarks(bookmarks)
{
}

std::filesystem::path FileCreator::create(const FileTemplate& fileTemplate,
                                          const std::filesystem::path& directory,
                                          const SharedSettings& settings)
{
    if (!isUsableNameComponent(fileTemplate.baseName) ||
        (!fileTemplate.fileExtension.empty() &&
         !isUsableNameComponent(fileTemplate.fileExtension))) {
        throw FileCreatorError::invalidName(fileTemplate.name);
    }

    // Every step below goes through this handle, so a folder renamed meanwhile cannot send
    // the file elsewhere.
    const UniqueFd folder(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        throw FileCreatorError::failed(directory / fileTemplate.fileName(), errnoCode(errno));
    }
    std::string name = fileTemplate.fileName();
    if (exists(folder.get(), name)) {
        // Read the folder once rather than probing base-2, base-3, ... one by one.
        const auto taken = namesStartingWith(folder.get(), fileTemplate.baseName);
        name = firstFreeName(
            fileTemplate.baseName, fileTemplate.fileExtension, [&](const std::string& candidate) {
                return taken ? taken->contains(candidate) : exists(folder.get(), candidate);
            });
    }
    const std::filesystem::path file = directory / name;
    if (standardized(file.parent_path()) != standardized(directory)) {
        throw FileCreatorError::invalidName(fileTemplate.name);
    }
    if (!m_bookmarks.mayWriteIn(directory)) {
        throw FileCreatorError::failed(file, errnoCode(EPERM));
    }

    // O_EXCL never replaces anything, a symbolic link included, and decides between two
    // creators that chose the same name.
    UniqueFd out(::openat(folder.get(), name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.get() < 0) {
        throw FileCreatorError::failed(file, errnoCode(errno));
    }
    std::error_code error = writeAll(out.get(), fileTemplate.contents);
    if (::close(out.release()) != 0 && !error) {
        error = errnoCode(errno);
    }
    if (error) {
        ::unlinkat(folder.get(), name.c_str(), 0); // a partial file is of no use to anyone
        throw FileCreatorError::failed(file, error);
    }

    kLog.info("Created %{public}s", file.string());
    m_workspace.revealAndSelect(file);
    if (settings.openAfterCreate) {
        m_workspace.openWithDefaultApp(file);
    }
    return file;
}

} // namespace tessary

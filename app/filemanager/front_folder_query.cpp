// The front folder from the bridge and OpenWindowsWithLocations, with the X11 fallback.
#include "filemanager/front_folder_query.h"

#include "platform/display_session.h"
#include "shared/localization.h"
#include "shared/logger.h"

#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace tessary {
namespace {

const Logger kLog("finder-automation");

std::optional<std::filesystem::path> localFolder(const std::string& location)
{
    const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(location), QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) {
        return std::nullopt;
    }
    return std::filesystem::path(url.toLocalFile().toStdString()).lexically_normal();
}

std::filesystem::path desktopFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString();
}

} // namespace

TabChoice chooseTab(const std::vector<std::string>& locations, const std::string& title,
                    const std::filesystem::path& home, const std::string& activeLocation)
{
    // The file manager named the active tab's location from inside: that tab. (The window
    // list can lag behind a tab that has just moved.)
    if (!activeLocation.empty()) {
        const auto folder = localFolder(activeLocation);
        return folder ? TabChoice{TabChoice::Kind::folder, *folder}
                      : TabChoice{TabChoice::Kind::notAFolder, {}};
    }
    std::vector<std::filesystem::path> folders;
    for (const std::string& location : locations) {
        if (const auto folder = localFolder(location)) {
            folders.push_back(*folder);
        }
    }
    const bool someAreNotFolders = folders.size() < locations.size();
    if (locations.size() == 1) {
        return someAreNotFolders ? TabChoice{TabChoice::Kind::notAFolder, {}}
                                 : TabChoice{TabChoice::Kind::folder, folders.front()};
    }
    std::vector<std::filesystem::path> named;
    for (const std::filesystem::path& folder : folders) {
        // The file manager titles a folder by its name; "/" has none to compare.
        const std::string name = folder.filename().string();
        if (!name.empty() && name == title &&
            std::find(named.begin(), named.end(), folder) == named.end()) {
            named.push_back(folder);
        }
    }
    if (named.size() == 1) {
        return {TabChoice::Kind::folder, named.front()};
    }
    if (!named.empty()) {
        return {}; // two tabs with the same name: no way to tell
    }
    // No tab is named by the title: the home folder is titled with a word of its own
    // ("Home", translated), a search, Recent or Trash tab with a description.
    const bool homeOpen = std::find(folders.begin(), folders.end(), home) != folders.end();
    if (homeOpen && !someAreNotFolders) {
        return {TabChoice::Kind::folder, home};
    }
    if (someAreNotFolders && !homeOpen) {
        return {TabChoice::Kind::notAFolder, {}};
    }
    return {};
}

FrontFolderQuery::QueryError::QueryError(Case kind, const std::string& description,
                                         const std::string& fileManager)
    : std::runtime_error(description), m_case(kind), m_fileManager(fileManager)
{
}

FrontFolderQuery::QueryError FrontFolderQuery::QueryError::queryFailed(const std::string& text,
                                                                       const std::string& name)
{
    return {Case::queryFailed, tr("%@ did not answer: %@", name, text), name};
}

FrontFolderQuery::QueryError FrontFolderQuery::QueryError::notPermitted(const std::string& name)
{
    return {Case::notPermitted,
            tr("Tessary cannot ask %1$s which folder is open, so it cannot tell where to "
               "create the file. Quit %1$s and open it again so that it loads Tessary’s "
               "extension.",
               name),
            name};
}

FrontFolderQuery::QueryError FrontFolderQuery::QueryError::notAFolder(const std::string& name)
{
    return {Case::notAFolder, tr("The front %@ window does not show a folder.", name), name};
}

FrontFolderQuery::FrontFolderQuery(FileManagers& fileManagers, Workspace& workspace)
    : m_fileManagers(fileManagers), m_workspace(workspace)
{
}

FrontFolderQuery::FrontFolder
FrontFolderQuery::frontFolder(std::string* fileManager,
                              const std::optional<FrontApplication>* knownFront)
{
    const auto front = knownFront != nullptr ? *knownFront : frontmostApplication();
    FileManager* owner = front ? m_fileManagers.owning(*front) : nullptr;
    FileManager& asked = owner != nullptr ? *owner : m_fileManagers.at({});
    FrontFolder folder = frontFolderOf(asked);
    if (fileManager != nullptr) {
        // With the desktop in front, whichever file manager serves the desktop shows the file.
        *fileManager = owner != nullptr ? asked.busName() : std::string();
    }
    return folder;
}

FrontFolderQuery::FrontFolder FrontFolderQuery::frontFolderOf(FileManager& fileManager)
{
    FileManagerError error;
    const auto windows = fileManager.openWindowsWithLocations(&error);
    if (!windows) {
        kLog.error("Finder script failed (%ld): %{public}s", error.code, error.message);
        if (error.accessDenied) {
            return QueryError::notPermitted(fileManager.displayName());
        }
        return QueryError::queryFailed(error.message, fileManager.displayName());
    }
    if (windows->empty()) {
        return desktopFolder();
    }

    auto front = fileManager.bridgeActiveWindow();
    const bool bridgeAnswered = front.has_value();
    if (!front || !windows->contains(front->path)) {
        // Without the bridge, on X11: the path and title GTK publishes on the active window.
        const auto application = m_workspace.frontmostApplication();
        if (application && fileManager.ownsWindow(*application)) {
            front = FileManagerWindow{true, application->windowPath, application->windowTitle};
        }
    }
    if (!front || !windows->contains(front->path)) {
        if (windows->size() != 1) {
            // Without the bridge only X11 can tell which of several windows is in front.
            return bridgeAnswered || currentDisplaySession() == DisplaySession::x11
                       ? QueryError::queryFailed(tr("no %@ window is in front of the others",
                                                    fileManager.displayName()),
                                                 fileManager.displayName())
                       : QueryError::notPermitted(fileManager.displayName());
        }
        front = FileManagerWindow{false, windows->begin()->first, {}, {}};
    }

    const TabChoice tab =
        chooseTab(windows->at(front->path), front->title,
                  QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString(),
                  front->location);
    switch (tab.kind) {
    case TabChoice::Kind::folder:
        return tab.folder;
    case TabChoice::Kind::notAFolder:
        return QueryError::notAFolder(fileManager.displayName());
    case TabChoice::Kind::unknown:
        break;
    }
    return QueryError::queryFailed(tr("it did not say which tab is in front"),
                                   fileManager.displayName());
}

FrontFolderQuery::Permission FrontFolderQuery::permission(FileManager& fileManager)
{
    const auto running = fileManager.isRunning();
    if (!running) {
        return {Permission::Case::unknown, -1};
    }
    if (!*running) {
        return {Permission::Case::fileManagerNotRunning};
    }
    return {fileManager.bridgeActiveWindow() ? Permission::Case::granted
                                             : Permission::Case::notDetermined};
}

std::optional<FrontApplication> FrontFolderQuery::frontmostApplication()
{
    if (currentDisplaySession() != DisplaySession::wayland) {
        return m_workspace.frontmostApplication();
    }
    for (const InstalledFileManager& installed : m_fileManagers.installed()) {
        const auto window = installed.fileManager->bridgeActiveWindow();
        if (window && window->active) {
            return FrontApplication{installed.fileManager->applicationId(),
                                    installed.fileManager->displayName()};
        }
    }
    return std::nullopt;
}

} // namespace tessary

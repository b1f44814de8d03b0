// The delayed rename, guarded by the permission and the front-application check.
#include "filemanager/rename_immediately.h"

#include "shared/logger.h"

#include <QTimer>
#include <QUrl>

namespace tessary {
namespace {

const Logger kLog("rename");

} // namespace

RenameImmediately::RenameImmediately(FrontFolderQuery& frontFolder, FileManagers& fileManagers,
                                     KeyEvents& keys)
    : m_frontFolder(frontFolder), m_fileManagers(fileManagers), m_keys(keys)
{
}

RenameRoute RenameImmediately::renameRoute(FileManager& fileManager)
{
    if (fileManager.bridgeActiveWindow()) {
        return RenameRoute::fileManagerBridge;
    }
    return m_keys.canSendKeys() ? RenameRoute::x11KeyPress : RenameRoute::none;
}

void RenameImmediately::renameCreatedFile(const std::filesystem::path& file,
                                          const std::string& fileManager)
{
    if (renameRoute(m_fileManagers.at(fileManager)) == RenameRoute::none) {
        kLog.info("Rename immediately is on, but Accessibility permission is missing");
        return;
    }
    QTimer::singleShot(kDelayMilliseconds, &m_timers,
                       [this, file, fileManager] { startRename(file, fileManager); });
}

void RenameImmediately::startRename(const std::filesystem::path& file,
                                    const std::string& fileManager, int attempt)
{
    FileManager& shows = m_fileManagers.at(fileManager);
    const auto front = m_frontFolder.frontmostApplication();
    if (!front || !shows.ownsWindow(*front)) {
        kLog.info("Finder is not in front; not pressing Return");
        return;
    }
    const std::string uri =
        QUrl::fromLocalFile(QString::fromStdString(file.string())).toEncoded().toStdString();
    if (const auto started = shows.bridgeRename(uri)) {
        if (*started) {
            kLog.debug("Files started renaming %{public}s", file.string());
        } else if (attempt < kBridgeAttempts) {
            QTimer::singleShot(kRetryMilliseconds, &m_timers, [this, file, fileManager, attempt] {
                startRename(file, fileManager, attempt + 1);
            });
        } else {
            // The file is not the only one selected: nothing else gets renamed.
            kLog.info("Files did not start renaming %{public}s", file.string());
        }
        return;
    }
    if (!m_keys.canSendKeys()) {
        kLog.info("Rename immediately is on, but Accessibility permission is missing");
        return;
    }
    if (!m_keys.pressRenameKey()) {
        kLog.error("Could not create key events");
    }
}

} // namespace tessary

// Puts a freshly created, selected file into the file manager's rename mode for the user,
// shortly after creation and only while the file manager is in front: through the bridge
// module inside the file manager where it answers (X11 and Wayland alike), else by pressing
// the rename key (F2) through XTest on X11.
#pragma once

#include "platform/file_manager.h"
#include "filemanager/front_folder_query.h"
#include "platform/key_events.h"

#include <QObject>

#include <filesystem>

namespace tessary {

// How a rename can be started now; `none` is what the settings window shows as the
// missing permission.
enum class RenameRoute {
    fileManagerBridge, // the bridge answers
    x11KeyPress,       // an X11 display with XTEST
    none,
};

class RenameImmediately {
public:
    // How long the file manager gets to show and select the new file first.
    static constexpr int kDelayMilliseconds = 400;
    // A busy file manager may select the file later: the bridge is asked again this often,
    // this long apart, while the file manager stays in front.
    static constexpr int kBridgeAttempts = 10;
    static constexpr int kRetryMilliseconds = 200;

    RenameImmediately(FrontFolderQuery& frontFolder, FileManagers& fileManagers, KeyEvents& keys);

    // The permission check: whether, and how, a rename can be started now in `fileManager`.
    RenameRoute renameRoute(FileManager& fileManager);

    // Checks the permission now and schedules the rename of `file` on the event loop;
    // returns at once. Each call schedules its own. `fileManager`: the bus name of the file
    // manager that shows the file (empty: the first installed one).
    void renameCreatedFile(const std::filesystem::path& file, const std::string& fileManager = {});
    // Starts renaming `file` if that file manager is the frontmost application.
    void startRename(const std::filesystem::path& file, const std::string& fileManager = {},
                     int attempt = 1);

private:
    FrontFolderQuery& m_frontFolder;
    FileManagers& m_fileManagers;
    KeyEvents& m_keys;
    QObject m_timers; // owns the pending presses: they go away with this object
};

} // namespace tessary

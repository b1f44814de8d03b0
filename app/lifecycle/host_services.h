// The host's services wired together once: platform implementations, the file creator,
// disk access, the file manager's front folder, renaming, the login item, request handling,
// the global shortcut, the update checker and the launch tasks.
#pragma once

#include "lifecycle/host_lifecycle.h"
#include "platform/linux/autostart_login_items.h"
#include "creation/disk_access.h"
#include "creation/file_creator.h"
#include "filemanager/front_folder_query.h"
#include "shortcut/hot_key.h"
#include "lifecycle/launch_tasks.h"
#include "platform/linux/linux_bookmarks.h"
#include "platform/linux/linux_workspace.h"
#include "lifecycle/login_item.h"
#include "platform/linux/known_file_managers.h"
#include "filemanager/rename_immediately.h"
#include "creation/request_handler.h"
#include "creation/request_queue.h"
#include "platform/linux/session_global_shortcut.h"
#include "updates/update_checker.h"
#include "platform/linux/xtest_key_events.h"

namespace tessary {

struct HostServices {
    explicit HostServices(UserPrompts& prompts);

    // Loads what the first request would otherwise pay for.
    void warmUp();

    LinuxWorkspace workspace;
    KnownFileManagers fileManagers;
    XTestKeyEvents keys;
    SessionGlobalShortcut shortcuts;
    LinuxBookmarks bookmarks;
    AutostartLoginItems loginItems;
    LoginItem loginItem;
    DiskAccess diskAccess;
    FileCreator creator;
    FrontFolderQuery frontFolder;
    RenameImmediately rename;
    RequestHandler requests;
    RequestQueue queue; // every request of the running host goes through it
    HotKey hotKey;
    UpdateChecker updates;
    LaunchTasks launchTasks;
};

} // namespace tessary

// The host's services wired together once: platform implementations, the file creator,
// disk access, the file manager's front folder, renaming, the login item, request handling,
// the global shortcut, the update checker and the launch tasks.
#pragma once

#include "app_delegate.h"
#include "autostart_login_items.h"
#include "disk_access.h"
#include "file_creator.h"
#include "finder_automation.h"
#include "hot_key.h"
#include "launch_tasks.h"
#include "linux_bookmarks.h"
#include "linux_workspace.h"
#include "login_item.h"
#include "nautilus_file_manager.h"
#include "rename_immediately.h"
#include "request_handler.h"
#include "request_queue.h"
#include "session_global_shortcut.h"
#include "update_checker.h"
#include "xtest_key_events.h"

namespace tessary {

struct HostServices {
    explicit HostServices(UserPrompts& prompts);

    // Loads what the first request would otherwise pay for.
    void warmUp();

    LinuxWorkspace workspace;
    NautilusFileManager fileManager;
    XTestKeyEvents keys;
    SessionGlobalShortcut shortcuts;
    LinuxBookmarks bookmarks;
    AutostartLoginItems loginItems;
    LoginItem loginItem;
    DiskAccess diskAccess;
    FileCreator creator;
    FinderAutomation automation;
    RenameImmediately rename;
    RequestHandler requests;
    RequestQueue queue; // every request of the running host goes through it
    HotKey hotKey;
    UpdateChecker updates;
    LaunchTasks launchTasks;
};

} // namespace tessary

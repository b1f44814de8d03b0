// The host's services wired together once: platform implementations, the file creator,
// disk access, renaming, the login item and request handling.
#pragma once

#include "app_delegate.h"
#include "autostart_login_items.h"
#include "disk_access.h"
#include "file_creator.h"
#include "linux_bookmarks.h"
#include "linux_workspace.h"
#include "login_item.h"
#include "rename_immediately.h"
#include "request_handler.h"
#include "request_queue.h"
#include "xtest_key_events.h"

namespace tessary {

struct HostServices {
    explicit HostServices(UserPrompts& prompts);

    // Loads what the first request would otherwise pay for.
    void warmUp();

    LinuxWorkspace workspace;
    XTestKeyEvents keys;
    LinuxBookmarks bookmarks;
    AutostartLoginItems loginItems;
    LoginItem loginItem;
    DiskAccess diskAccess;
    FileCreator creator;
    RenameImmediately rename;
    RequestHandler requests;
    RequestQueue queue; // every request of the running host goes through it
};

} // namespace tessary

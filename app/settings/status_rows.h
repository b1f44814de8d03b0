// The General page's live status rows: a text and a symbol, and the one action that helps
// here, if any.
#pragma once

#include "filemanager/front_folder_query.h"
#include "platform/login_items.h"
#include "filemanager/rename_immediately.h"

#include <string>
#include <string_view>

namespace tessary {

struct StatusRow {
    enum class Action { none, restartFileManager };

    std::string text;
    std::string_view symbol;
    Action action = Action::none;
};

// Whether the shortcut can learn the open folder of the file manager `name`: it runs and
// Tessary's extension inside it answers. While it runs without the extension, restarting it
// loads it.
StatusRow fileManagerStatusRow(const FrontFolderQuery::Permission& permission,
                               const std::string& name = "Files");

// How a rename is started in the file manager `name`: by the extension inside it, or as an
// X11 key press (XTEST). Without either, restarting the file manager loads the extension.
StatusRow renameStatusRow(RenameRoute route, const std::string& name = "Files");

// The "Open at login" switch reads on while the entry is registered.
bool isLoginSwitchOn(LoginItemStatus status);

} // namespace tessary

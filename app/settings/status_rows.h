// The General page's live status rows: a text and a symbol, and the one action that helps
// here, if any.
#pragma once

#include "login_items.h"

#include <string>
#include <string_view>

namespace tessary {

struct StatusRow {
    enum class Action { none, restartFileManager };

    std::string text;
    std::string_view symbol;
    Action action = Action::none;
};

// Whether the rename key press can reach the file manager: through the extension inside it,
// or as an X11 key press (XTEST). Without either, restarting the file manager loads the
// extension.
StatusRow renameStatusRow(bool canPressRenameKey);

// The "Open at login" switch reads on while the entry is registered.
bool isLoginSwitchOn(LoginItemStatus status);

} // namespace tessary

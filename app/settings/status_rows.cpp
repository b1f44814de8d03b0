// Status row texts.
#include "status_rows.h"

#include "localization.h"

namespace tessary {

StatusRow renameStatusRow(bool canPressRenameKey)
{
    if (canPressRenameKey) {
        return {tr("Tessary can press F2 in Files"), "checkmark.circle", StatusRow::Action::none};
    }
    return {tr("Tessary can’t press F2 in Files: no X11 display with XTEST, and Files has not "
               "loaded Tessary’s extension"),
            "exclamationmark.triangle", StatusRow::Action::restartFileManager};
}

bool isLoginSwitchOn(LoginItemStatus status)
{
    return status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
}

} // namespace tessary

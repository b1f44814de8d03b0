// Status row texts.
#include "settings/status_rows.h"

#include "shared/localization.h"

namespace tessary {
namespace {

constexpr std::string_view kGood = "checkmark.circle";
constexpr std::string_view kWarning = "exclamationmark.triangle";
constexpr std::string_view kUnknown = "questionmark.circle";

} // namespace

StatusRow fileManagerStatusRow(const FrontFolderQuery::Permission& permission,
                               const std::string& name)
{
    using Case = FrontFolderQuery::Permission::Case;
    switch (permission.kind) {
    case Case::granted:
        return {tr("%@ is running and Tessary’s extension answers", name), kGood};
    case Case::notDetermined:
        return {tr("%@ is running without Tessary’s extension", name), kWarning,
                StatusRow::Action::restartFileManager};
    case Case::fileManagerNotRunning:
        return {tr("%@ is not running", name), kUnknown};
    case Case::unknown:
        break;
    }
    return {tr("Can’t tell whether %1$s is running (status %2$d)", name, permission.code),
            kUnknown};
}

StatusRow renameStatusRow(RenameRoute route, const std::string& name)
{
    switch (route) {
    case RenameRoute::fileManagerBridge:
        return {tr("Tessary’s extension starts the rename inside %@", name), kGood};
    case RenameRoute::x11KeyPress:
        return {tr("Tessary can press F2 in %@ (X11 with XTEST)", name), kGood};
    case RenameRoute::none:
        break;
    }
    return {tr("Tessary can’t press F2 in %1$s: no X11 display with XTEST, and %1$s has not "
               "loaded Tessary’s extension",
               name),
            kWarning, StatusRow::Action::restartFileManager};
}

bool isLoginSwitchOn(LoginItemStatus status)
{
    return status == LoginItemStatus::enabled;
}

} // namespace tessary

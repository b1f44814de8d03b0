// Status row texts.
#include "settings/status_rows.h"

#include "shared/localization.h"

namespace tessary {
namespace {

constexpr std::string_view kGood = "checkmark.circle";
constexpr std::string_view kWarning = "exclamationmark.triangle";
constexpr std::string_view kUnknown = "questionmark.circle";

} // namespace

StatusRow fileManagerStatusRow(const FrontFolderQuery::Permission& permission)
{
    using Case = FrontFolderQuery::Permission::Case;
    switch (permission.kind) {
    case Case::granted:
        return {tr("Files is running and Tessary’s extension answers"), kGood};
    case Case::notDetermined:
        return {tr("Files is running without Tessary’s extension"), kWarning,
                StatusRow::Action::restartFileManager};
    case Case::fileManagerNotRunning:
        return {tr("Files is not running"), kUnknown};
    case Case::unknown:
        break;
    }
    return {tr("Can’t tell whether Files is running (status %d)", permission.code), kUnknown};
}

StatusRow renameStatusRow(RenameRoute route)
{
    switch (route) {
    case RenameRoute::fileManagerBridge:
        return {tr("Tessary’s extension starts the rename inside Files"), kGood};
    case RenameRoute::x11KeyPress:
        return {tr("Tessary can press F2 in Files (X11 with XTEST)"), kGood};
    case RenameRoute::none:
        break;
    }
    return {tr("Tessary can’t press F2 in Files: no X11 display with XTEST, and Files has not "
               "loaded Tessary’s extension"),
            kWarning, StatusRow::Action::restartFileManager};
}

bool isLoginSwitchOn(LoginItemStatus status)
{
    return status == LoginItemStatus::enabled;
}

} // namespace tessary

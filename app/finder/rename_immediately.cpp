// The delayed rename key press, guarded by the permission and the front-application check.
#include "rename_immediately.h"

#include "logger.h"

#include <QTimer>

namespace tessary {
namespace {

const Logger kLog("rename");

} // namespace

RenameImmediately::RenameImmediately(Workspace& workspace, KeyEvents& keys)
    : m_workspace(workspace), m_keys(keys)
{
}

void RenameImmediately::renameCreatedFile()
{
    if (!m_keys.isTrusted()) {
        kLog.info("Rename immediately is on, but Accessibility permission is missing");
        return;
    }
    QTimer::singleShot(kDelayMilliseconds, &m_timers, [this] { pressReturnInFinder(); });
}

void RenameImmediately::pressReturnInFinder()
{
    const auto front = m_workspace.frontmostApplication();
    if (!front || front->id != kFileManagerId) {
        kLog.info("Finder is not in front; not pressing Return");
        return;
    }
    if (!m_keys.pressRenameKey()) {
        kLog.error("Could not create key events");
    }
}

} // namespace tessary

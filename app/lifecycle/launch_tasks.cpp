// The launch tasks and their log line.
#include "launch_tasks.h"

#include "logger.h"
#include "shared_settings.h"

namespace tessary {
namespace {

const Logger kLog("app");

} // namespace

LaunchTasks::LaunchTasks(LoginItem& loginItem, UpdateChecker& updates, HotKey& hotKey)
    : m_loginItem(loginItem), m_updates(updates), m_hotKey(hotKey)
{
}

void LaunchTasks::afterHideDecision()
{
    if (SharedSettings::load().hasDiskAccess()) {
        m_loginItem.registerLoginItemOnFirstLaunch();
    }
    m_updates.checkAtLaunch();
}

void LaunchTasks::atEndOfLaunch()
{
    try {
        m_hotKey.registerShortcut(SharedSettings::load());
    } catch (const HotKey::RegistrationError& error) {
        kLog.error("Shortcut not registered: %{public}s", error.what());
    }
}

} // namespace tessary

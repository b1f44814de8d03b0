// The launch tasks and their log line.
#include "lifecycle/launch_tasks.h"

#include "shared/logger.h"
#include "shared/shared_settings.h"

#include <utility>

namespace tessary {
namespace {

const Logger kLog("app");

} // namespace

LaunchTasks::LaunchTasks(LoginItem& loginItem, UpdateChecker& updates, HotKey& hotKey)
    : m_loginItem(loginItem), m_updates(updates), m_hotKey(hotKey)
{
}

void LaunchTasks::registerLoginItemAndCheckForUpdates()
{
    if (m_held) {
        m_loginItemAndUpdateCheckWaits = true;
        return;
    }
    runLoginItemAndUpdateCheck();
}

void LaunchTasks::atEndOfLaunch()
{
    if (m_held) {
        m_atEndOfLaunchWaits = true;
        return;
    }
    runAtEndOfLaunch();
}

void LaunchTasks::hold()
{
    m_held = true;
}

void LaunchTasks::release()
{
    m_held = false;
    if (std::exchange(m_loginItemAndUpdateCheckWaits, false)) {
        runLoginItemAndUpdateCheck();
    }
    if (std::exchange(m_atEndOfLaunchWaits, false)) {
        runAtEndOfLaunch();
    }
}

void LaunchTasks::runLoginItemAndUpdateCheck()
{
    if (SharedSettings::load().hasDiskAccess()) {
        m_loginItem.registerLoginItemOnFirstLaunch();
    }
    m_updates.checkAtLaunch();
}

void LaunchTasks::runAtEndOfLaunch()
{
    try {
        m_hotKey.registerShortcut(SharedSettings::load());
    } catch (const HotKey::RegistrationError& error) {
        kLog.error("Shortcut not registered: %{public}s", error.what());
    }
}

} // namespace tessary

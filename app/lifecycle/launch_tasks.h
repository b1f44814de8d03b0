// The services every launch starts for other parts of the host, at their places in the
// launch sequence: the once-only login item and the daily update check once the launch knows
// whether it shows a window, and the global shortcut as the launch's last step.
#pragma once

#include "shortcut/hot_key.h"
#include "lifecycle/login_item.h"
#include "updates/update_checker.h"

namespace tessary {

class LaunchTasks {
public:
    LaunchTasks(LoginItem& loginItem, UpdateChecker& updates, HotKey& hotKey);

    // The login item, once a disk grant is stored, then the update check when one is due (it
    // goes on asynchronously).
    void registerLoginItemAndCheckForUpdates();
    // The last step of the launch: registers the global shortcut; a failure is logged and
    // the launch goes on without it.
    void atEndOfLaunch();

    // While held, the two steps above wait and release() runs them in their order: a window
    // shown at launch is painted first, and the tasks follow at once.
    void hold();
    void release();

private:
    void runLoginItemAndUpdateCheck();
    void runAtEndOfLaunch();

    LoginItem& m_loginItem;
    UpdateChecker& m_updates;
    HotKey& m_hotKey;
    bool m_held = false;
    bool m_loginItemAndUpdateCheckWaits = false;
    bool m_atEndOfLaunchWaits = false;
};

} // namespace tessary

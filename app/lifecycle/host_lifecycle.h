// The host's start-up and URL intake: seeds the settings on a fresh installation, makes
// sure the signing key exists, decides whether the user opened the host, and hands every
// URL to request handling. Also keeps the activation-policy rule (an application shows as
// a regular one only while one of its own titled windows is open) for a front end to report
// its windows to; on Linux the policy changes nothing visible.
#pragma once

#include "lifecycle/launch_tasks.h"
#include "creation/request_handler.h"
#include "creation/request_queue.h"

#include <string>
#include <vector>

namespace tessary {

// How the process was started, from its command line.
enum class LaunchReason {
    user,      // no URL and no flag
    loginItem, // --login, written into the autostart entry
    shortcut,  // --shortcut: a desktop keybinding started the host for a press
};

enum class ActivationPolicy { regular, accessory };

struct WindowInfo {
    const void* id = nullptr;
    bool isPanel = false; // dialogs and file panels
    bool isSheet = false;
    bool titled = true;
    bool visible = true;
};

// Counts for the activation policy: a titled window that is neither a panel nor a sheet.
bool isAppWindow(const WindowInfo& window);

class HostLifecycle {
public:
    // Without `tasks` the launch starts no services of other parts (tests).
    HostLifecycle(RequestHandler& requests, RequestQueue& queue, LaunchReason reason,
                  LaunchTasks* tasks = nullptr);

    void finishLaunching();
    // Each URL becomes a request in `queue`, in order. URLs arriving before launch handling
    // are the reason for the launch; they are handed on once it is done. `activates` is the
    // sender's wish for the host to come forward; `fileManager` the bus name of the file
    // manager that sent them, where the new files are shown (empty: not known).
    void openUrls(const std::vector<std::string>& urls, bool activates = false,
                  const std::string& fileManager = {});

    bool wasOpenedByUser() const { return m_reason == LaunchReason::user; }
    bool openedByUser() const { return m_openedByUser; }

    ActivationPolicy activationPolicy() const { return m_policy; }
    void windowShown(const WindowInfo& window);
    // Called once the closing window is gone, with the windows still around.
    void windowClosed(const WindowInfo& closing, const std::vector<WindowInfo>& windows);

private:
    struct Received {
        std::string url;
        bool activates = false;
        std::string fileManager;
    };
    void open(Received received);

    RequestHandler& m_requests;
    RequestQueue& m_queue;
    LaunchReason m_reason;
    LaunchTasks* m_tasks;
    bool m_finishedLaunching = false;
    bool m_launchedForURL = false;
    bool m_openedByUser = false;
    ActivationPolicy m_policy = ActivationPolicy::accessory;
    std::vector<Received> m_early;
};

} // namespace tessary

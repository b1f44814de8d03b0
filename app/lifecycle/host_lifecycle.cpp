// Launch sequence, URL intake and the activation-policy rule.
#include "lifecycle/host_lifecycle.h"

#include "shared/create_request.h"
#include "shared/logger.h"
#include "shared/shared_settings.h"

#include <algorithm>
#include <utility>

namespace tessary {
namespace {

const Logger kLog("app");

} // namespace

bool isAppWindow(const WindowInfo& window)
{
    return !window.isPanel && !window.isSheet && window.titled;
}

HostLifecycle::HostLifecycle(RequestHandler& requests, RequestQueue& queue, LaunchReason reason,
                             LaunchTasks* tasks)
    : m_requests(requests), m_queue(queue), m_reason(reason), m_tasks(tasks)
{
}

void HostLifecycle::finishLaunching()
{
    m_finishedLaunching = true;

    // Only a missing document is seeded: one that does not decode or cannot be read is left
    // for the user.
    const DefaultsStore store = DefaultsStore::appGroup();
    std::error_code readError;
    const bool stored = store.data(kSettingsKey, readError).has_value();
    if (readError) {
        kLog.error("Could not read the stored settings, so they were not replaced: %{public}s",
                   readError.message());
    } else if (!stored) {
        // A failure is logged by save; the launch goes on with the defaults in memory.
        static_cast<void>(SharedSettings::defaults().save(store));
    }
    static_cast<void>(requestKey(DefaultsStore::appGroup())); // a failure is logged there

    m_openedByUser = m_launchedForURL ? false : wasOpenedByUser();
    kLog.info("Host app launched, opened by user: %{bool}d", m_openedByUser ? 1 : 0);
    if (m_tasks != nullptr) {
        m_tasks->registerLoginItemAndCheckForUpdates();
        // No window observers to install here (windows report to the policy rule
        // themselves), so the shortcut follows as the launch's last step.
        m_tasks->atEndOfLaunch();
    }

    for (Received& received : std::exchange(m_early, {})) {
        open(std::move(received));
    }
}

void HostLifecycle::openUrls(const std::vector<std::string>& urls, bool activates,
                             const std::string& fileManager)
{
    for (const std::string& url : urls) {
        Received received{url, activates, fileManager};
        if (m_finishedLaunching) {
            open(std::move(received));
        } else {
            m_launchedForURL = true;
            m_early.push_back(std::move(received));
        }
    }
}

void HostLifecycle::open(Received received)
{
    kLog.info("Received %{public}s", received.url);
    m_queue.submit([this, received = std::move(received)] {
        m_requests.handleCreateURL(received.url, received.activates, received.fileManager);
    });
}

void HostLifecycle::windowShown(const WindowInfo& window)
{
    if (isAppWindow(window)) {
        m_policy = ActivationPolicy::regular;
    }
}

void HostLifecycle::windowClosed(const WindowInfo& closing, const std::vector<WindowInfo>& windows)
{
    if (!isAppWindow(closing)) {
        return;
    }
    const bool anotherRemains =
        std::any_of(windows.begin(), windows.end(), [&](const WindowInfo& w) {
            return w.id != closing.id && w.visible && isAppWindow(w);
        });
    if (!anotherRemains) {
        m_policy = ActivationPolicy::accessory;
    }
}

} // namespace tessary

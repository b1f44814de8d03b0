// Once-only registration and the user's switch, with their log lines.
#include "lifecycle/login_item.h"

#include "shared/logger.h"

namespace tessary {
namespace {

const Logger kLog("login-item");

long raw(LoginItemStatus status)
{
    return static_cast<long>(status);
}

} // namespace

LoginItem::LoginItem(LoginItemService& service) : m_service(service)
{
}

void LoginItem::registerLoginItemOnFirstLaunch()
{
    const DefaultsStore defaults = DefaultsStore::standard();
    if (defaults.boolean(kDidRegisterLoginItemKey).value_or(false)) {
        return;
    }
    // Recorded before trying, so a registration that fails is not retried at every launch.
    defaults.setBool(kDidRegisterLoginItemKey, true);
    try {
        m_service.registerApp();
        kLog.info("Registered as login item on first launch; status %ld", raw(m_service.status()));
    } catch (const LoginItemError& error) {
        kLog.error("Could not register as login item: %{public}s", error.what());
    }
}

void LoginItem::setLoginItemEnabled(bool enabled)
{
    if (enabled) {
        m_service.registerApp();
    } else {
        m_service.unregisterApp();
    }
    kLog.info("Login item %{public}s; status %ld", enabled ? "registered" : "unregistered",
              raw(m_service.status()));
}

} // namespace tessary

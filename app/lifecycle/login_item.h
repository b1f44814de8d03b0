// Starting the host at login: registered once, automatically, after the first disk grant,
// and afterwards only when the user switches it.
#pragma once

#include "shared/defaults_store.h"
#include "platform/login_items.h"

namespace tessary {

inline constexpr std::string_view kDidRegisterLoginItemKey = "didRegisterLoginItem";

class LoginItem {
public:
    // The host's own defaults domain remembers that registration was tried.
    explicit LoginItem(LoginItemService& service);

    // Registers once per installation, even if that attempt fails; never throws.
    void registerLoginItemOnFirstLaunch();
    // Registers or unregisters; throws LoginItemError unchanged.
    void setLoginItemEnabled(bool enabled);
    LoginItemStatus status() { return m_service.status(); }

private:
    LoginItemService& m_service;
};

} // namespace tessary

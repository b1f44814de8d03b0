// The global shortcut through the desktop portal's org.freedesktop.portal.GlobalShortcuts
// interface (GNOME 48 and later, KDE Plasma 5.27 and later): one session with one bound
// shortcut, presses arriving as its Activated signal.
#pragma once

#include "platform/global_shortcut.h"
#include "platform/linux/session_bus.h"

#include <optional>
#include <string>

typedef struct _GVariant GVariant;

namespace tessary {

class PortalGlobalShortcut : public GlobalShortcut {
public:
    // How long the portal may take to answer a request; binding may ask the user first.
    static constexpr int kAnswerTimeoutMs = 30'000;

    PortalGlobalShortcut();
    ~PortalGlobalShortcut() override;
    PortalGlobalShortcut(const PortalGlobalShortcut&) = delete;
    PortalGlobalShortcut& operator=(const PortalGlobalShortcut&) = delete;

    // Whether the session's portal offers the interface (it reports its version).
    static bool offered();

    // Creates a session and binds the shortcut with the keys as its preferred trigger.
    // The portal decides the final trigger and reports no conflicts, so this never gives
    // `inUse`; a refused or unanswered request is `failed` with the portal's response code.
    ShortcutRegistration add(const ShortcutKeys& keys) override;
    // Closes the session, which unbinds the shortcut.
    void remove() override;

    // The trigger as the portal writes shortcuts: "CTRL+ALT+n".
    static std::string trigger(const ShortcutKeys& keys);

private:
    struct Answer {
        unsigned response = 2; // the portal's "other error"
        GVariant* results = nullptr;
    };
    std::optional<Answer> request(const char* method, GVariant* parameters,
                                  const std::string& token);
    void activated(GVariant* parameters);

    SessionBus m_bus;
    unsigned m_subscription = 0;
    std::string m_session;
};

} // namespace tessary

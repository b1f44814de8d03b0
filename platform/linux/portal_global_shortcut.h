// The global shortcut through the desktop portal's org.freedesktop.portal.GlobalShortcuts
// interface (GNOME 48 and later, KDE Plasma 5.27 and later): one session with one bound
// shortcut, presses arriving as its Activated signal. Every request is asynchronous, in the
// GLib main context (which Qt's event loop runs): the portal may ask the user first.
#pragma once

#include "platform/global_shortcut.h"
#include "platform/linux/session_bus.h"

#include <string>

typedef struct _GCancellable GCancellable;
typedef struct _GVariant GVariant;

namespace tessary {

class PortalGlobalShortcut : public GlobalShortcut {
public:
    // How long the portal may take to answer a request; binding may ask the user first.
    static constexpr int kAnswerTimeoutMs = 30'000;

    explicit PortalGlobalShortcut(int answerTimeoutMs = kAnswerTimeoutMs);
    ~PortalGlobalShortcut() override;
    PortalGlobalShortcut(const PortalGlobalShortcut&) = delete;
    PortalGlobalShortcut& operator=(const PortalGlobalShortcut&) = delete;

    // Whether the session's portal offers the interface (it reports its version).
    static bool offered();

    // Creates a session and binds the shortcut with the keys as its preferred trigger. The
    // portal decides the trigger (reported in `trigger`) and reports no conflicts, so this
    // never gives `inUse`; a refused or unanswered request is `failed` with the portal's
    // response code, and so is a binding without a trigger (kShortcutNotBound).
    void add(const ShortcutKeys& keys, Done done) override;
    // Closes the session, which unbinds the shortcut; a pending registration ends unreported.
    void remove() override;

    // The trigger as the portal writes shortcuts: "CTRL+ALT+n".
    static std::string trigger(const ShortcutKeys& keys);

private:
    // Calls `method` with a request handle named `token`; its Response goes to `answered`.
    void request(const char* method, GVariant* parameters, const std::string& token,
                 void (PortalGlobalShortcut::*answered)(unsigned, GVariant*));
    void sessionCreated(unsigned response, GVariant* results);
    void shortcutsBound(unsigned response, GVariant* results);
    void finish(const ShortcutRegistration& result);
    // Ends the registration: closes what was opened, then reports `status`.
    void fail(int status);
    void stopWaiting();
    void activated(GVariant* parameters);
    void shortcutsChanged(GVariant* parameters);

    SessionBus m_bus;
    int m_answerTimeoutMs;
    unsigned m_subscription = 0;         // Activated
    unsigned m_changeSubscription = 0;   // ShortcutsChanged
    unsigned m_responseSubscription = 0; // the pending request's Response
    unsigned m_timeout = 0;
    GCancellable* m_cancellable = nullptr;
    void (PortalGlobalShortcut::*m_answered)(unsigned, GVariant*) = nullptr;
    std::string m_preferred;
    Done m_done;
    std::string m_session;
};

} // namespace tessary

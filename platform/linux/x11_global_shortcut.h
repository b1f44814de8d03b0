// The global shortcut on X11: a passive grab of the key position on the root window, in four
// variants so that NumLock and CapsLock do not hide presses, with presses read from the
// connection in the GLib main context (which Qt's event loop runs).
#pragma once

#include "platform/global_shortcut.h"

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace tessary {

class X11GlobalShortcut : public GlobalShortcut {
public:
    X11GlobalShortcut() = default;
    ~X11GlobalShortcut() override;
    X11GlobalShortcut(const X11GlobalShortcut&) = delete;
    X11GlobalShortcut& operator=(const X11GlobalShortcut&) = delete;

    // A grab that the server refuses with BadAccess (another client holds one of the
    // variants) is `inUse`; every variant made before it is released again.
    ShortcutRegistration bind(const ShortcutKeys& keys);
    // Answers at once, with bind()'s outcome.
    void add(const ShortcutKeys& keys, Done done) override { done(bind(keys)); }
    void remove() override;

private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    bool connect();
    void dispatchEvents();
    void ungrab(const std::vector<Grab>& grabs);

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    unsigned m_source = 0; // the GLib source watching the connection
    std::vector<Grab> m_grabs;
    std::uint16_t m_modifiers = 0;       // the shortcut's own, without lock keys
    std::uint16_t m_lockModifiers = 0;   // NumLock and CapsLock
    std::uint32_t m_lastReleaseTime = 0; // to tell auto-repeat from a new press
};

} // namespace tessary

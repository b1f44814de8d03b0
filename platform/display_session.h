// Which kind of graphical session the host runs in, which decides how it finds the front
// application, presses keys and grabs the global shortcut.
#pragma once

namespace tessary {

enum class DisplaySession {
    none,    // no display at all (a terminal, a test)
    x11,     // an X11 session: EWMH, XTest and key grabs work
    wayland, // a Wayland session, even with Xwayland's DISPLAY set beside it
};

DisplaySession currentDisplaySession();

} // namespace tessary

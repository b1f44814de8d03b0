// One connection to the X server named by DISPLAY, for the questions the host asks it:
// which application is active (EWMH) and synthetic key presses (XTest).
#pragma once

#include "platform/workspace.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

struct xcb_connection_t;

namespace tessary {

class X11Display {
public:
    // None when no X server can be reached (no DISPLAY, Wayland without Xwayland, ...).
    static std::unique_ptr<X11Display> connect();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    // The window named by _NET_ACTIVE_WINDOW on the root window: its application id from
    // _GTK_APPLICATION_ID, else the class part of WM_CLASS; its name from the Name of the
    // id's desktop entry, else the class, else the id (never the title). The desktop when no window
    // is active (none, one that has closed, or the property not set yet by a window manager that
    // supports it) or the active one is of type _NET_WM_WINDOW_TYPE_DESKTOP; none when the window
    // manager does not say. The window's _GTK_WINDOW_OBJECT_PATH and _NET_WM_NAME go to windowPath
    // and windowTitle, its _NET_WM_PID to pid.
    std::optional<FrontApplication> activeApplication();

    // Whether the server offers XTEST, without which no key can be sent.
    bool hasXTest();
    // Presses and releases the key of `keysym` through XTest; false if it cannot.
    bool pressAndRelease(std::uint32_t keysym);

private:
    std::uint32_t rootWindow();
    // Whether the window manager lists _NET_ACTIVE_WINDOW in _NET_SUPPORTED.
    bool windowManagerTracksActiveWindow();
    // _NET_ACTIVE_WINDOW, which is 0 while no window has the focus; none when unset.
    std::optional<std::uint32_t> activeWindow();
    // Whether `window` is the desktop's (_NET_WM_WINDOW_TYPE_DESKTOP) or no longer exists.
    bool isDesktopWindow(std::uint32_t window);

    explicit X11Display(xcb_connection_t* connection, int screen);

    xcb_connection_t* m_connection;
    int m_screen;
};

} // namespace tessary

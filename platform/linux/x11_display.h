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
    // _GTK_APPLICATION_ID, else the class part of WM_CLASS; its name from _NET_WM_NAME,
    // else the class. The desktop when no window is active (none, or one that has closed)
    // or the active one is of type _NET_WM_WINDOW_TYPE_DESKTOP; none when the window
    // manager does not say.
    std::optional<FrontApplication> activeApplication();

    // The D-Bus object path GTK gives the active window of a GtkApplication
    // (_GTK_WINDOW_OBJECT_PATH), with the window's title (_NET_WM_NAME); none when the active
    // window has no such path.
    std::optional<std::pair<std::string, std::string>> activeWindowObjectPath();

    // Whether the server offers XTEST, without which no key can be sent.
    bool hasXTest();
    // Presses and releases the key of `keysym` through XTest; false if it cannot.
    bool pressAndRelease(std::uint32_t keysym);

private:
    // _NET_ACTIVE_WINDOW, which is 0 while no window has the focus; none when unset.
    std::optional<std::uint32_t> activeWindow();
    // Whether `window` is the desktop's (_NET_WM_WINDOW_TYPE_DESKTOP) or no longer exists.
    bool isDesktopWindow(std::uint32_t window);

    explicit X11Display(xcb_connection_t* connection, int screen);

    xcb_connection_t* m_connection;
    int m_screen;
};

} // namespace tessary

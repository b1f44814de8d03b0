// EWMH queries and XTest key presses over xcb.
#include "platform/linux/x11_display.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <gio/gdesktopappinfo.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace tessary {
namespace {

template <typename Reply> struct ReplyFree {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, ReplyFree<Reply>>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The raw bytes of a window property of the given type, or none.
std::optional<std::string> property(xcb_connection_t* connection, xcb_window_t window,
                                    xcb_atom_t name, xcb_atom_t type)
{
    if (name == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto cookie = xcb_get_property(connection, 0, window, name, type, 0, 1024);
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    if (length <= 0) {
        return std::nullopt;
    }
    return std::string(data, static_cast<std::size_t>(length));
}

} // namespace

std::unique_ptr<X11Display> X11Display::connect()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        return nullptr;
    }
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(name, &screen);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Display>(new X11Display(connection, screen));
}

X11Display::X11Display(xcb_connection_t* connection, int screen)
    : m_connection(connection), m_screen(screen)
{
}

X11Display::~X11Display()
{
    xcb_disconnect(m_connection);
}

std::uint32_t X11Display::rootWindow()
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    return screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

std::optional<std::uint32_t> X11Display::activeWindow()
{
    const xcb_window_t root = rootWindow();
    if (root == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const xcb_atom_t activeAtom = internAtom(m_connection, "_NET_ACTIVE_WINDOW");
    const auto active = property(m_connection, root, activeAtom, XCB_ATOM_WINDOW);
    if (!active || active->size() < sizeof(xcb_window_t)) {
        return std::nullopt;
    }
    xcb_window_t window = XCB_WINDOW_NONE;
    std::memcpy(&window, active->data(), sizeof(window));
    return window;
}

bool X11Display::isDesktopWindow(std::uint32_t window)
{
    // Some window managers leave _NET_ACTIVE_WINDOW naming the last window after it closed.
    xcb_generic_error_t* error = nullptr;
    const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), &error));
    if (!attributes) {
        std::free(error);
        return true;
    }
    const auto types = property(m_connection, window,
                                internAtom(m_connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM);
    const xcb_atom_t desktop = internAtom(m_connection, "_NET_WM_WINDOW_TYPE_DESKTOP");
    for (std::size_t at = 0; types && at + sizeof(xcb_atom_t) <= types->size();
         at += sizeof(xcb_atom_t)) {
        xcb_atom_t type = XCB_ATOM_NONE;
        std::memcpy(&type, types->data() + at, sizeof(type));
        if (type == desktop && desktop != XCB_ATOM_NONE) {
            return true;
        }
    }
    return false;
}

bool X11Display::windowManagerTracksActiveWindow()
{
    const xcb_atom_t active = internAtom(m_connection, "_NET_ACTIVE_WINDOW");
    const auto supported = property(m_connection, rootWindow(),
                                    internAtom(m_connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    for (std::size_t at = 0; supported && at + sizeof(xcb_atom_t) <= supported->size();
         at += sizeof(xcb_atom_t)) {
        xcb_atom_t atom = XCB_ATOM_NONE;
        std::memcpy(&atom, supported->data() + at, sizeof(atom));
        if (atom == active && active != XCB_ATOM_NONE) {
            return true;
        }
    }
    return false;
}

std::optional<FrontApplication> X11Display::activeApplication()
{
    // A window manager that keeps _NET_ACTIVE_WINDOW but has not set it yet (nothing has had
    // the focus since the session began) shows the desktop.
    const auto active = activeWindow();
    if (!active && !windowManagerTracksActiveWindow()) {
        return std::nullopt;
    }
    const xcb_window_t window = active.value_or(XCB_WINDOW_NONE);
    if (window == XCB_WINDOW_NONE || isDesktopWindow(window)) {
        return FrontApplication{{}, {}, true};
    }

    const xcb_atom_t utf8 = internAtom(m_connection, "UTF8_STRING");
    const auto gtkId =
        property(m_connection, window, internAtom(m_connection, "_GTK_APPLICATION_ID"), utf8);
    const auto wmClass = property(m_connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    // WM_CLASS holds "instance\0class\0".
    std::string className;
    if (wmClass) {
        const std::size_t end = wmClass->find('\0');
        if (end != std::string::npos) {
            className = wmClass->substr(end + 1);
            className = className.substr(0, className.find('\0'));
        }
    }
    FrontApplication application;
    application.id = gtkId ? *gtkId : className;
    if (application.id.empty()) {
        return std::nullopt;
    }
    // The application's name, never the window's title: titles name documents and mails.
    const std::string entry = application.id + ".desktop";
    g_autoptr(GDesktopAppInfo) info = gtkId && g_utf8_validate(entry.c_str(), -1, nullptr)
                                          ? g_desktop_app_info_new(entry.c_str())
                                          : nullptr;
    application.name = info != nullptr     ? g_app_info_get_name(G_APP_INFO(info))
                       : className.empty() ? application.id
                                           : className;
    const auto path =
        property(m_connection, window, internAtom(m_connection, "_GTK_WINDOW_OBJECT_PATH"), utf8);
    const auto title =
        property(m_connection, window, internAtom(m_connection, "_NET_WM_NAME"), utf8);
    application.windowPath = path.value_or(std::string());
    application.windowTitle = title.value_or(std::string());
    const auto pid =
        property(m_connection, window, internAtom(m_connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (pid && pid->size() >= sizeof(application.pid)) {
        std::memcpy(&application.pid, pid->data(), sizeof(application.pid));
    }
    return application;
}

bool X11Display::hasXTest()
{
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    return xtest != nullptr && xtest->present != 0 && xcb_connection_has_error(m_connection) == 0;
}

bool X11Display::pressAndRelease(std::uint32_t keysym)
{
    // Without the XTEST extension xcb would close the connection on the first fake input.
    if (!hasXTest()) {
        return false;
    }
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    if (symbols == nullptr) {
        return false;
    }
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    xcb_key_symbols_free(symbols);
    if (codes == nullptr || codes[0] == XCB_NO_SYMBOL) {
        std::free(codes);
        return false;
    }
    const xcb_keycode_t code = codes[0];
    std::free(codes);
    bool ok = true;
    for (const std::uint8_t type : {std::uint8_t{XCB_KEY_PRESS}, std::uint8_t{XCB_KEY_RELEASE}}) {
        const auto cookie = xcb_test_fake_input_checked(m_connection, type, code, XCB_CURRENT_TIME,
                                                        XCB_WINDOW_NONE, 0, 0, 0);
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            std::free(error);
            ok = false;
        }
    }
    return ok && xcb_connection_has_error(m_connection) == 0;
}

} // namespace tessary

// xcb grabs on the root window and the press events they deliver.
#include "platform/linux/x11_global_shortcut.h"

#include "shared/logger.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include <glib-unix.h>
#include <glib.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace tessary {
namespace {

const Logger kLog("hotkey");

constexpr std::uint32_t kNumLockKeysym = 0xff7f;
constexpr std::uint8_t kBadAccess = 10;

// The modifier bit NumLock is mapped to (Mod2 on almost every keyboard).
std::uint16_t numLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols)
{
    std::uint16_t mask = XCB_MOD_MASK_2;
    xcb_keycode_t* numLock = xcb_key_symbols_get_keycode(symbols, kNumLockKeysym);
    xcb_get_modifier_mapping_reply_t* mapping =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (numLock != nullptr && mapping != nullptr) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping);
        const int perModifier = mapping->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                for (const xcb_keycode_t* n = numLock; *n != XCB_NO_SYMBOL; ++n) {
                    if (code != 0 && code == *n) {
                        mask = static_cast<std::uint16_t>(1U << modifier);
                    }
                }
            }
        }
    }
    std::free(numLock);
    std::free(mapping);
    return mask;
}

} // namespace

X11GlobalShortcut::~X11GlobalShortcut()
{
    if (m_source != 0) {
        g_source_remove(m_source);
    }
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

bool X11GlobalShortcut::connect()
{
    if (m_connection != nullptr) {
        return xcb_connection_has_error(m_connection) == 0;
    }
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection) != 0) {
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return false;
    }
    m_root = screens.data->root;
    m_source = g_unix_fd_add(
        xcb_get_file_descriptor(m_connection), G_IO_IN,
        [](gint, GIOCondition, gpointer data) -> gboolean {
            auto* self = static_cast<X11GlobalShortcut*>(data);
            self->dispatchEvents();
            if (xcb_connection_has_error(self->m_connection) != 0) {
                self->m_source = 0; // the server went away: stop watching a closed socket
                return G_SOURCE_REMOVE;
            }
            return G_SOURCE_CONTINUE;
        },
        this);
    return true;
}

ShortcutRegistration X11GlobalShortcut::bind(const ShortcutKeys& keys)
{
    if (!connect()) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    if (symbols == nullptr) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    // The key at the recorded position, whatever character the layout puts there; by
    // keysym only for keys given without one.
    std::vector<xcb_keycode_t> keycodes;
    if (keys.xKeyCode != 0) {
        keycodes.push_back(static_cast<xcb_keycode_t>(keys.xKeyCode));
    } else if (xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keys.keysym)) {
        for (const xcb_keycode_t* code = found; *code != XCB_NO_SYMBOL; ++code) {
            keycodes.push_back(*code);
        }
        std::free(found);
    }
    m_lockModifiers =
        static_cast<std::uint16_t>(numLockMask(m_connection, symbols) | XCB_MOD_MASK_LOCK);
    xcb_key_symbols_free(symbols);
    if (keycodes.empty()) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    m_modifiers = static_cast<std::uint16_t>(
        (keys.control ? XCB_MOD_MASK_CONTROL : 0) | (keys.alt ? XCB_MOD_MASK_1 : 0) |
        (keys.shift ? XCB_MOD_MASK_SHIFT : 0) | (keys.super ? XCB_MOD_MASK_4 : 0));
    const std::uint16_t numLock = static_cast<std::uint16_t>(m_lockModifiers & ~XCB_MOD_MASK_LOCK);
    const std::uint16_t variants[] = {0, numLock, XCB_MOD_MASK_LOCK, m_lockModifiers};

    // Every request first, then every answer: one round trip for all of them.
    std::vector<Grab> grabs;
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : keycodes) {
        for (const std::uint16_t variant : variants) {
            const Grab grab{code, static_cast<std::uint16_t>(m_modifiers | variant)};
            cookies.push_back(xcb_grab_key_checked(m_connection, 1, m_root, grab.modifiers,
                                                   grab.keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
            grabs.push_back(grab);
        }
    }
    int failure = 0;
    std::vector<Grab> made;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookies[i])) {
            if (failure == 0 || error->error_code == kBadAccess) {
                failure = error->error_code;
            }
            std::free(error);
        } else {
            made.push_back(grabs[i]);
        }
    }
    if (failure != 0) {
        ungrab(made);
        return {failure == kBadAccess ? ShortcutRegistration::Outcome::inUse
                                      : ShortcutRegistration::Outcome::failed,
                failure};
    }
    m_grabs = std::move(made);
    // Waiting for the answers may have queued events the fd watch will not see.
    g_idle_add_once([](gpointer self) { static_cast<X11GlobalShortcut*>(self)->dispatchEvents(); },
                    this);
    return {ShortcutRegistration::Outcome::registered, 0};
}

void X11GlobalShortcut::ungrab(const std::vector<Grab>& grabs)
{
    for (const Grab& grab : grabs) {
        xcb_ungrab_key(m_connection, grab.keycode, m_root, grab.modifiers);
    }
    xcb_flush(m_connection);
}

void X11GlobalShortcut::remove()
{
    if (m_connection != nullptr && !m_grabs.empty()) {
        ungrab(m_grabs);
    }
    m_grabs.clear();
}

void X11GlobalShortcut::dispatchEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            const bool ours = std::any_of(m_grabs.begin(), m_grabs.end(), [&](const Grab& grab) {
                return grab.keycode == key->detail &&
                       (key->state & ~m_lockModifiers & 0xff) == m_modifiers;
            });
            // Auto-repeat sends a release and a press with the same time stamp.
            if (ours && type == XCB_KEY_RELEASE) {
                m_lastReleaseTime = key->time;
            } else if (ours && key->time != m_lastReleaseTime && onPress) {
                try {
                    onPress();
                } catch (const std::exception& error) {
                    kLog.error("Shortcut press failed: %{public}s", error.what());
                }
            }
        }
        std::free(event);
    }
}

} // namespace tessary

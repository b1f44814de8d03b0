// Column 0 of the core keymap is the first layout's unshifted keysym.
#include "platform/linux/x11_keymap.h"

#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace tessary {

std::optional<char32_t> unshiftedCharacter(xcb_connection_t* connection, std::uint32_t xKeyCode)
{
    if (connection == nullptr || xKeyCode > 255) {
        return std::nullopt;
    }
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (symbols == nullptr) {
        return std::nullopt;
    }
    const xcb_keysym_t keysym =
        xcb_key_symbols_get_keysym(symbols, static_cast<xcb_keycode_t>(xKeyCode), 0);
    xcb_key_symbols_free(symbols);
    return xkb_keysym_to_utf32(keysym);
}

} // namespace tessary

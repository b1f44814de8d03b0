// The X server's keyboard layout, asked for what a key types.
#pragma once

#include <cstdint>
#include <optional>

struct xcb_connection_t;

namespace tessary {

// The character the key at `xKeyCode` types without modifiers in the first layout of the
// server's keymap; 0 when it types none (a dead key, a function key); none when the keymap
// cannot be read.
std::optional<char32_t> unshiftedCharacter(xcb_connection_t* connection, std::uint32_t xKeyCode);

} // namespace tessary

// The keys a global shortcut can use. Settings keep a shortcut as a key code and a modifier
// mask in the form the settings document has always used (macOS virtual key codes, Carbon
// modifier bits); both name key positions, not characters. This table ties each position to
// its X key code (the evdev code plus 8, the same on X11 and Wayland), to the X keysym a US
// layout gives it for the X11 grab and GTK accelerators, and to the label texts the settings
// window shows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessary {

// Modifier bits of the stored mask.
inline constexpr std::uint32_t kSuperModifier = 0x0100; // Command
inline constexpr std::uint32_t kShiftModifier = 0x0200;
inline constexpr std::uint32_t kAltModifier = 0x0800; // Option
inline constexpr std::uint32_t kControlModifier = 0x1000;

struct ShortcutKey {
    std::uint32_t keyCode;  // as stored in shortcutKeyCode
    std::uint32_t xKeyCode; // the key's position as X and Wayland number it
    std::uint32_t keysym;   // X keysym of the key on a US layout, unshifted
    std::string name;       // keysym name, as GTK accelerators write it: "n", "Return"
    std::string_view label; // a key without a character: "Return", "Page Up"; else empty
};

// Every key of the table, in key-code order.
std::span<const ShortcutKey> shortcutKeys();
const ShortcutKey* keyForCode(std::uint32_t keyCode);
const ShortcutKey* keyForXKeyCode(std::uint32_t xKeyCode);
// Letters match in either case.
const ShortcutKey* keyForKeysym(std::uint32_t keysym);

// The modifier words present, in the order Ctrl, Alt, Shift, Super, translated ("Strg" in
// German) and each followed by "+"; then the key part: the key's name, else its unshifted
// character upper-cased (`unshifted`: the character the user's layout gives the key, 0 for
// none; without it, the US layout's), else "?": "Ctrl+Alt+N".
std::string shortcutLabel(std::uint32_t modifiers, std::uint32_t keyCode,
                          std::optional<char32_t> unshifted = std::nullopt);
// The translated modifier words a label starts with, as pairs of the word with its "+" and
// the name a screen reader says ("Ctrl+", "Control").
std::span<const std::pair<std::string, std::string>> labelModifierWords();
// The GTK accelerator of the shortcut, "<Control><Alt>n"; none for an unknown key.
std::optional<std::string> gtkAccelerator(std::uint32_t modifiers, std::uint32_t keyCode);

} // namespace tessary

// The keys a global shortcut can use. Settings keep a shortcut as a key code and a modifier
// mask in the form the settings document has always used (macOS virtual key codes, Carbon
// modifier bits); this table translates them to X keysyms for the X11 grab, to keysym names
// for GTK accelerators, and to the label texts the settings window shows.
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
    std::uint32_t keysym;   // X keysym; lower case for letters
    std::string_view name;  // keysym name, as GTK accelerators write it: "n", "Return"
    std::string_view label; // as labels show it: "N", "Return", "Page Up"
};

// Every key of the table, in key-code order.
std::span<const ShortcutKey> shortcutKeys();
const ShortcutKey* keyForCode(std::uint32_t keyCode);
// Letters match in either case.
const ShortcutKey* keyForKeysym(std::uint32_t keysym);

// "Ctrl+", "Alt+", "Shift+", "Super+" for the modifiers present, in that order, then the
// key's label ("?" for a key the table does not know): "Ctrl+Alt+N".
std::string shortcutLabel(std::uint32_t modifiers, std::uint32_t keyCode);
// The GTK accelerator of the shortcut, "<Control><Alt>n"; none for an unknown key.
std::optional<std::string> gtkAccelerator(std::uint32_t modifiers, std::uint32_t keyCode);

} // namespace tessary

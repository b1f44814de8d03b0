// The key table and the texts built from it.
#include "shortcut/shortcut_keys.h"

#include <algorithm>
#include <array>

namespace tessary {
namespace {

// Key codes of the ANSI layout: letters, digits and punctuation by their position on the
// keyboard, the other keys by what they do.
constexpr std::array<ShortcutKey, 72> kKeys{{
    {0, 'a', "a", "A"},
    {1, 's', "s", "S"},
    {2, 'd', "d", "D"},
    {3, 'f', "f", "F"},
    {4, 'h', "h", "H"},
    {5, 'g', "g", "G"},
    {6, 'z', "z", "Z"},
    {7, 'x', "x", "X"},
    {8, 'c', "c", "C"},
    {9, 'v', "v", "V"},
    {11, 'b', "b", "B"},
    {12, 'q', "q", "Q"},
    {13, 'w', "w", "W"},
    {14, 'e', "e", "E"},
    {15, 'r', "r", "R"},
    {16, 'y', "y", "Y"},
    {17, 't', "t", "T"},
    {18, '1', "1", "1"},
    {19, '2', "2", "2"},
    {20, '3', "3", "3"},
    {21, '4', "4", "4"},
    {22, '6', "6", "6"},
    {23, '5', "5", "5"},
    {24, '=', "equal", "="},
    {25, '9', "9", "9"},
    {26, '7', "7", "7"},
    {27, '-', "minus", "-"},
    {28, '8', "8", "8"},
    {29, '0', "0", "0"},
    {30, ']', "bracketright", "]"},
    {31, 'o', "o", "O"},
    {32, 'u', "u", "U"},
    {33, '[', "bracketleft", "["},
    {34, 'i', "i", "I"},
    {35, 'p', "p", "P"},
    {36, 0xff0d, "Return", "Return"},
    {37, 'l', "l", "L"},
    {38, 'j', "j", "J"},
    {39, '\'', "apostrophe", "'"},
    {40, 'k', "k", "K"},
    {41, ';', "semicolon", ";"},
    {42, '\\', "backslash", "\\"},
    {43, ',', "comma", ","},
    {44, '/', "slash", "/"},
    {45, 'n', "n", "N"},
    {46, 'm', "m", "M"},
    {47, '.', "period", "."},
    {48, 0xff09, "Tab", "Tab"},
    {49, ' ', "space", "Space"},
    {50, '`', "grave", "`"},
    {51, 0xff08, "BackSpace", "Backspace"},
    {96, 0xffc2, "F5", "F5"},
    {97, 0xffc3, "F6", "F6"},
    {98, 0xffc4, "F7", "F7"},
    {99, 0xffc0, "F3", "F3"},
    {100, 0xffc5, "F8", "F8"},
    {101, 0xffc6, "F9", "F9"},
    {103, 0xffc8, "F11", "F11"},
    {109, 0xffc7, "F10", "F10"},
    {111, 0xffc9, "F12", "F12"},
    {115, 0xff50, "Home", "Home"},
    {116, 0xff55, "Page_Up", "Page Up"},
    {117, 0xffff, "Delete", "Delete"},
    {118, 0xffc1, "F4", "F4"},
    {119, 0xff57, "End", "End"},
    {120, 0xffbf, "F2", "F2"},
    {121, 0xff56, "Page_Down", "Page Down"},
    {122, 0xffbe, "F1", "F1"},
    {123, 0xff51, "Left", "Left"},
    {124, 0xff53, "Right", "Right"},
    {125, 0xff54, "Down", "Down"},
    {126, 0xff52, "Up", "Up"},
}};

struct ModifierText {
    std::uint32_t bit;
    std::string_view label;
    std::string_view accelerator;
};

// The order labels and accelerators name them in.
constexpr std::array<ModifierText, 4> kModifiers{{
    {kControlModifier, "Ctrl+", "<Control>"},
    {kAltModifier, "Alt+", "<Alt>"},
    {kShiftModifier, "Shift+", "<Shift>"},
    {kSuperModifier, "Super+", "<Super>"},
}};

std::string modifierText(std::uint32_t modifiers, std::string_view ModifierText::*part)
{
    std::string text;
    for (const ModifierText& modifier : kModifiers) {
        if ((modifiers & modifier.bit) != 0) {
            text += modifier.*part;
        }
    }
    return text;
}

} // namespace

std::span<const ShortcutKey> shortcutKeys()
{
    return kKeys;
}

const ShortcutKey* keyForCode(std::uint32_t keyCode)
{
    const auto found = std::find_if(kKeys.begin(), kKeys.end(),
                                    [&](const ShortcutKey& key) { return key.keyCode == keyCode; });
    return found != kKeys.end() ? &*found : nullptr;
}

const ShortcutKey* keyForKeysym(std::uint32_t keysym)
{
    if (keysym >= 'A' && keysym <= 'Z') {
        keysym += 'a' - 'A';
    }
    const auto found = std::find_if(kKeys.begin(), kKeys.end(),
                                    [&](const ShortcutKey& key) { return key.keysym == keysym; });
    return found != kKeys.end() ? &*found : nullptr;
}

std::string shortcutLabel(std::uint32_t modifiers, std::uint32_t keyCode)
{
    const ShortcutKey* key = keyForCode(keyCode);
    return modifierText(modifiers, &ModifierText::label) +
           std::string(key != nullptr ? key->label : "?");
}

std::optional<std::string> gtkAccelerator(std::uint32_t modifiers, std::uint32_t keyCode)
{
    const ShortcutKey* key = keyForCode(keyCode);
    if (key == nullptr) {
        return std::nullopt;
    }
    return modifierText(modifiers, &ModifierText::accelerator) + std::string(key->name);
}

} // namespace tessary

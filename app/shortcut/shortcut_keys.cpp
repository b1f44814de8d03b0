// The key table and the texts built from it.
#include "shortcut/shortcut_keys.h"

#include "shared/localization.h"

#include <QString>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <vector>

namespace tessary {
namespace {

// X numbers a key as its evdev code plus 8.
constexpr std::uint32_t kEvdevOffset = 8;

struct Row {
    std::uint32_t keyCode;
    std::uint32_t evdevCode;
    xkb_keysym_t keysym;
    std::string_view label;
};

// Every key of a standard (ISO or ANSI) keyboard but the modifiers, Escape (it cancels
// recording) and the three keys macOS has no code of their own for (Print, Scroll Lock, Pause).
constexpr Row kRows[] = {
    {0, KEY_A, XKB_KEY_a, {}},
    {1, KEY_S, XKB_KEY_s, {}},
    {2, KEY_D, XKB_KEY_d, {}},
    {3, KEY_F, XKB_KEY_f, {}},
    {4, KEY_H, XKB_KEY_h, {}},
    {5, KEY_G, XKB_KEY_g, {}},
    {6, KEY_Z, XKB_KEY_z, {}},
    {7, KEY_X, XKB_KEY_x, {}},
    {8, KEY_C, XKB_KEY_c, {}},
    {9, KEY_V, XKB_KEY_v, {}},
    {10, KEY_102ND, XKB_KEY_less, {}}, // the extra key of ISO keyboards
    {11, KEY_B, XKB_KEY_b, {}},
    {12, KEY_Q, XKB_KEY_q, {}},
    {13, KEY_W, XKB_KEY_w, {}},
    {14, KEY_E, XKB_KEY_e, {}},
    {15, KEY_R, XKB_KEY_r, {}},
    {16, KEY_Y, XKB_KEY_y, {}},
    {17, KEY_T, XKB_KEY_t, {}},
    {18, KEY_1, XKB_KEY_1, {}},
    {19, KEY_2, XKB_KEY_2, {}},
    {20, KEY_3, XKB_KEY_3, {}},
    {21, KEY_4, XKB_KEY_4, {}},
    {22, KEY_6, XKB_KEY_6, {}},
    {23, KEY_5, XKB_KEY_5, {}},
    {24, KEY_EQUAL, XKB_KEY_equal, {}},
    {25, KEY_9, XKB_KEY_9, {}},
    {26, KEY_7, XKB_KEY_7, {}},
    {27, KEY_MINUS, XKB_KEY_minus, {}},
    {28, KEY_8, XKB_KEY_8, {}},
    {29, KEY_0, XKB_KEY_0, {}},
    {30, KEY_RIGHTBRACE, XKB_KEY_bracketright, {}},
    {31, KEY_O, XKB_KEY_o, {}},
    {32, KEY_U, XKB_KEY_u, {}},
    {33, KEY_LEFTBRACE, XKB_KEY_bracketleft, {}},
    {34, KEY_I, XKB_KEY_i, {}},
    {35, KEY_P, XKB_KEY_p, {}},
    {36, KEY_ENTER, XKB_KEY_Return, "Return"},
    {37, KEY_L, XKB_KEY_l, {}},
    {38, KEY_J, XKB_KEY_j, {}},
    {39, KEY_APOSTROPHE, XKB_KEY_apostrophe, {}},
    {40, KEY_K, XKB_KEY_k, {}},
    {41, KEY_SEMICOLON, XKB_KEY_semicolon, {}},
    {42, KEY_BACKSLASH, XKB_KEY_backslash, {}},
    {43, KEY_COMMA, XKB_KEY_comma, {}},
    {44, KEY_SLASH, XKB_KEY_slash, {}},
    {45, KEY_N, XKB_KEY_n, {}},
    {46, KEY_M, XKB_KEY_m, {}},
    {47, KEY_DOT, XKB_KEY_period, {}},
    {48, KEY_TAB, XKB_KEY_Tab, "Tab"},
    {49, KEY_SPACE, XKB_KEY_space, "Space"},
    {50, KEY_GRAVE, XKB_KEY_grave, {}},
    {51, KEY_BACKSPACE, XKB_KEY_BackSpace, "Backspace"},
    {64, KEY_F17, XKB_KEY_F17, "F17"},
    {65, KEY_KPDOT, XKB_KEY_KP_Decimal, "Num ."},
    {67, KEY_KPASTERISK, XKB_KEY_KP_Multiply, "Num *"},
    {69, KEY_KPPLUS, XKB_KEY_KP_Add, "Num +"},
    {75, KEY_KPSLASH, XKB_KEY_KP_Divide, "Num /"},
    {76, KEY_KPENTER, XKB_KEY_KP_Enter, "Num Enter"},
    {78, KEY_KPMINUS, XKB_KEY_KP_Subtract, "Num -"},
    {79, KEY_F18, XKB_KEY_F18, "F18"},
    {80, KEY_F19, XKB_KEY_F19, "F19"},
    {81, KEY_KPEQUAL, XKB_KEY_KP_Equal, "Num ="},
    {82, KEY_KP0, XKB_KEY_KP_0, "Num 0"},
    {83, KEY_KP1, XKB_KEY_KP_1, "Num 1"},
    {84, KEY_KP2, XKB_KEY_KP_2, "Num 2"},
    {85, KEY_KP3, XKB_KEY_KP_3, "Num 3"},
    {86, KEY_KP4, XKB_KEY_KP_4, "Num 4"},
    {87, KEY_KP5, XKB_KEY_KP_5, "Num 5"},
    {88, KEY_KP6, XKB_KEY_KP_6, "Num 6"},
    {89, KEY_KP7, XKB_KEY_KP_7, "Num 7"},
    {90, KEY_F20, XKB_KEY_F20, "F20"},
    {91, KEY_KP8, XKB_KEY_KP_8, "Num 8"},
    {92, KEY_KP9, XKB_KEY_KP_9, "Num 9"},
    {96, KEY_F5, XKB_KEY_F5, "F5"},
    {97, KEY_F6, XKB_KEY_F6, "F6"},
    {98, KEY_F7, XKB_KEY_F7, "F7"},
    {99, KEY_F3, XKB_KEY_F3, "F3"},
    {100, KEY_F8, XKB_KEY_F8, "F8"},
    {101, KEY_F9, XKB_KEY_F9, "F9"},
    {103, KEY_F11, XKB_KEY_F11, "F11"},
    {105, KEY_F13, XKB_KEY_F13, "F13"},
    {106, KEY_F16, XKB_KEY_F16, "F16"},
    {107, KEY_F14, XKB_KEY_F14, "F14"},
    {109, KEY_F10, XKB_KEY_F10, "F10"},
    {110, KEY_COMPOSE, XKB_KEY_Menu, "Menu"},
    {111, KEY_F12, XKB_KEY_F12, "F12"},
    {113, KEY_F15, XKB_KEY_F15, "F15"},
    {114, KEY_INSERT, XKB_KEY_Insert, "Insert"},
    {115, KEY_HOME, XKB_KEY_Home, "Home"},
    {116, KEY_PAGEUP, XKB_KEY_Page_Up, "Page Up"},
    {117, KEY_DELETE, XKB_KEY_Delete, "Delete"},
    {118, KEY_F4, XKB_KEY_F4, "F4"},
    {119, KEY_END, XKB_KEY_End, "End"},
    {120, KEY_F2, XKB_KEY_F2, "F2"},
    {121, KEY_PAGEDOWN, XKB_KEY_Page_Down, "Page Down"},
    {122, KEY_F1, XKB_KEY_F1, "F1"},
    {123, KEY_LEFT, XKB_KEY_Left, "Left"},
    {124, KEY_RIGHT, XKB_KEY_Right, "Right"},
    {125, KEY_DOWN, XKB_KEY_Down, "Down"},
    {126, KEY_UP, XKB_KEY_Up, "Up"},
};

const std::vector<ShortcutKey>& table()
{
    static const std::vector<ShortcutKey> keys = [] {
        std::vector<ShortcutKey> built;
        for (const Row& row : kRows) {
            std::array<char, 64> name{};
            xkb_keysym_get_name(row.keysym, name.data(), name.size());
            built.push_back({row.keyCode, row.evdevCode + kEvdevOffset, row.keysym,
                             std::string(name.data()), row.label});
        }
        return built;
    }();
    return keys;
}

template <typename Field> const ShortcutKey* find(Field ShortcutKey::*field, std::uint32_t value)
{
    const auto& keys = table();
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const ShortcutKey& key) { return key.*field == value; });
    return found != keys.end() ? &*found : nullptr;
}

struct ModifierText {
    std::uint32_t bit;
    std::string_view accelerator;
};

// The order labels and accelerators name them in.
constexpr std::array<ModifierText, 4> kModifiers{{
    {kControlModifier, "<Control>"},
    {kAltModifier, "<Alt>"},
    {kShiftModifier, "<Shift>"},
    {kSuperModifier, "<Super>"},
}};

std::string upperCased(char32_t character)
{
    return QString::fromUcs4(&character, 1).toUpper().toStdString();
}

} // namespace

std::span<const ShortcutKey> shortcutKeys()
{
    return table();
}

const ShortcutKey* keyForCode(std::uint32_t keyCode)
{
    return find(&ShortcutKey::keyCode, keyCode);
}

const ShortcutKey* keyForXKeyCode(std::uint32_t xKeyCode)
{
    return find(&ShortcutKey::xKeyCode, xKeyCode);
}

const ShortcutKey* keyForKeysym(std::uint32_t keysym)
{
    return find(&ShortcutKey::keysym, xkb_keysym_to_lower(keysym));
}

std::span<const std::pair<std::string, std::string>> labelModifierWords()
{
    // Built each time: the words follow the language the texts are shown in.
    thread_local std::array<std::pair<std::string, std::string>, 4> words;
    words = {{
        {tr("Ctrl") + "+", tr("Control")},
        {tr("Alt") + "+", tr("Alt")},
        {tr("Shift") + "+", tr("Shift")},
        {tr("Super") + "+", tr("Super")},
    }};
    return words;
}

std::string shortcutLabel(std::uint32_t modifiers, std::uint32_t keyCode,
                          std::optional<char32_t> unshifted)
{
    std::string label;
    const auto words = labelModifierWords();
    for (std::size_t i = 0; i < kModifiers.size(); ++i) {
        if ((modifiers & kModifiers[i].bit) != 0) {
            label += words[i].first;
        }
    }
    const ShortcutKey* key = keyForCode(keyCode);
    if (key != nullptr && !key->label.empty()) {
        return label + std::string(key->label);
    }
    if (!unshifted && key != nullptr) {
        unshifted = xkb_keysym_to_utf32(key->keysym);
    }
    return label + (unshifted.value_or(0) != 0 ? upperCased(*unshifted) : std::string("?"));
}

std::optional<std::string> gtkAccelerator(std::uint32_t modifiers, std::uint32_t keyCode)
{
    const ShortcutKey* key = keyForCode(keyCode);
    if (key == nullptr) {
        return std::nullopt;
    }
    std::string accelerator;
    for (const ModifierText& modifier : kModifiers) {
        if ((modifiers & modifier.bit) != 0) {
            accelerator += modifier.accelerator;
        }
    }
    return accelerator + key->name;
}

} // namespace tessary

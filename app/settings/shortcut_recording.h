// What the shortcut recorder makes of a key press: the stored key code, modifier mask and
// label, or why it keeps recording or stops. The key is found by its position (the X key
// code) in the one shortcut key table (shortcut_keys.h), so Shift and the layout do not
// matter; without a position (platforms that report none) by X keysym, then by Qt key.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

struct KeyPress {
    std::uint32_t xKeyCode = 0; // the event's native scan code (X key code); 0 if none
    std::uint32_t keysym = 0;   // the event's native virtual key (X keysym); 0 if none
    int qtKey = 0;
    Qt::KeyboardModifiers modifiers;
    // The character the user's layout gives the key without modifiers (0 for none), when
    // the keyboard layout can be asked.
    std::optional<char32_t> unshifted;
};

struct RecordedKey {
    enum class Outcome {
        modifierOnly, // a modifier key alone: keep waiting for the key
        cancel,       // Escape, with or without modifiers: stop, store nothing
        reject,       // no Ctrl, Alt or Super, or a key with no place in the table: beep
        accept,       // store keyCode, modifiers and label
    };

    Outcome outcome = Outcome::reject;
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0; // the stored mask bits
    std::string label;
};

RecordedKey recordKeyPress(const KeyPress& press);

// A label as a screen reader should say it: "Ctrl+Alt+N" is "Control Alt N".
std::string spokenShortcut(std::string_view label);

} // namespace tessary

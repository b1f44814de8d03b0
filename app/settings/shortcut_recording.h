// What the shortcut recorder makes of a key press: the stored key code, modifier mask and
// label, or why it keeps recording or stops. Keys are looked up in the one shortcut key
// table (shortcut_keys.h), by X keysym or, without one, by Qt key for letters and digits.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tessary {

struct RecordedKey {
    enum class Outcome {
        modifierOnly, // a modifier key alone: keep waiting for the key
        cancel,       // Escape, with or without modifiers: stop, store nothing
        reject,       // no Ctrl, Alt or Super, or a key the table lacks: beep, keep recording
        accept,       // store keyCode, modifiers and label
    };

    Outcome outcome = Outcome::reject;
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0; // the stored mask bits
    std::string label;
};

// `keysym` is the event's native virtual key (an X keysym on xcb and Wayland; 0 elsewhere).
RecordedKey recordKeyPress(std::uint32_t keysym, int qtKey, Qt::KeyboardModifiers modifiers);

// A label as a screen reader should say it: "Ctrl+Alt+N" is "Control Alt N".
std::string spokenShortcut(std::string_view label);

} // namespace tessary

// Key press translation and the spoken label.
#include "settings/shortcut_recording.h"

#include "shared/localization.h"
#include "shortcut/shortcut_keys.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace tessary {
namespace {

bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Shift:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

std::uint32_t storedMask(Qt::KeyboardModifiers modifiers)
{
    std::uint32_t mask = 0;
    mask |= modifiers.testFlag(Qt::ControlModifier) ? kControlModifier : 0;
    mask |= modifiers.testFlag(Qt::AltModifier) ? kAltModifier : 0;
    mask |= modifiers.testFlag(Qt::ShiftModifier) ? kShiftModifier : 0;
    mask |= modifiers.testFlag(Qt::MetaModifier) ? kSuperModifier : 0; // Super on X11
    return mask;
}

const ShortcutKey* tableKey(const KeyPress& press)
{
    if (const ShortcutKey* key = press.xKeyCode != 0 ? keyForXKeyCode(press.xKeyCode) : nullptr) {
        return key;
    }
    if (const ShortcutKey* key = press.keysym != 0 ? keyForKeysym(press.keysym) : nullptr) {
        return key;
    }
    // Qt keys of letters, digits and Space are their Latin-1 codes, as are their keysyms.
    const int qtKey = press.qtKey;
    const bool latin = (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) ||
                       (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || qtKey == Qt::Key_Space;
    return latin ? keyForKeysym(static_cast<std::uint32_t>(qtKey)) : nullptr;
}

} // namespace

RecordedKey recordKeyPress(const KeyPress& press)
{
    using Outcome = RecordedKey::Outcome;
    if (press.qtKey == Qt::Key_Escape || press.keysym == XKB_KEY_Escape) {
        return {Outcome::cancel, 0, 0, {}};
    }
    if (isModifierKey(press.qtKey)) {
        return {Outcome::modifierOnly, 0, 0, {}};
    }
    const std::uint32_t mask = storedMask(press.modifiers);
    const ShortcutKey* key = tableKey(press);
    if ((mask & (kControlModifier | kAltModifier | kSuperModifier)) == 0 || key == nullptr) {
        return {Outcome::reject, 0, 0, {}};
    }
    return {Outcome::accept, key->keyCode, mask,
            shortcutLabel(mask, key->keyCode, press.unshifted)};
}

std::string spokenShortcut(std::string_view label)
{
    std::string spoken;
    bool matched = true;
    while (matched && !label.empty()) {
        matched = false;
        for (const auto& [prefix, name] : labelModifierWords()) {
            if (label.starts_with(prefix) && label.size() > prefix.size()) {
                spoken += name + " ";
                label.remove_prefix(prefix.size());
                matched = true;
                break;
            }
        }
    }
    return spoken + std::string(label);
}

} // namespace tessary

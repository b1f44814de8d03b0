// Key press translation and the spoken label.
#include "settings/shortcut_recording.h"

#include "shared/localization.h"
#include "shortcut/shortcut_keys.h"

#include <array>

namespace tessary {
namespace {

constexpr std::uint32_t kEscapeKeysym = 0xff1b;

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

const ShortcutKey* tableKey(std::uint32_t keysym, int qtKey)
{
    if (const ShortcutKey* key = keysym != 0 ? keyForKeysym(keysym) : nullptr) {
        return key;
    }
    // Qt keys of letters, digits and Space are their Latin-1 codes, as are their keysyms.
    const bool latin = (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) ||
                       (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || qtKey == Qt::Key_Space;
    return latin ? keyForKeysym(static_cast<std::uint32_t>(qtKey)) : nullptr;
}

} // namespace

RecordedKey recordKeyPress(std::uint32_t keysym, int qtKey, Qt::KeyboardModifiers modifiers)
{
    using Outcome = RecordedKey::Outcome;
    if (qtKey == Qt::Key_Escape || keysym == kEscapeKeysym) {
        return {Outcome::cancel, 0, 0, {}};
    }
    if (isModifierKey(qtKey)) {
        return {Outcome::modifierOnly, 0, 0, {}};
    }
    const std::uint32_t mask = storedMask(modifiers);
    const ShortcutKey* key = tableKey(keysym, qtKey);
    if ((mask & (kControlModifier | kAltModifier | kSuperModifier)) == 0 || key == nullptr) {
        return {Outcome::reject, 0, 0, {}};
    }
    return {Outcome::accept, key->keyCode, mask, shortcutLabel(mask, key->keyCode)};
}

std::string spokenShortcut(std::string_view label)
{
    const std::array<std::pair<std::string_view, std::string>, 4> names = {{
        {"Ctrl+", tr("Control")},
        {"Alt+", tr("Alt")},
        {"Shift+", tr("Shift")},
        {"Super+", tr("Super")},
    }};
    std::string spoken;
    bool matched = true;
    while (matched && !label.empty()) {
        matched = false;
        for (const auto& [prefix, name] : names) {
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

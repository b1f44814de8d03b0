// Synthetic key presses sent to the application in front.
#pragma once

namespace tessary {

class KeyEvents {
public:
    virtual ~KeyEvents() = default;

    // Whether this process may send key events (on X11: a display is reachable).
    virtual bool isTrusted() = 0;
    // One press and one release of the file manager's rename key (F2), with no modifiers
    // set explicitly. False when the events could not be made or sent.
    virtual bool pressRenameKey() = 0;
};

} // namespace tessary

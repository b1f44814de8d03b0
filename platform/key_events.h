// Synthetic key presses sent to the application in front.
#pragma once

namespace tessary {

class KeyEvents {
public:
    virtual ~KeyEvents() = default;

    // Whether key presses can be sent to other applications now: an X11 session whose
    // display offers XTEST (Wayland offers no such way).
    virtual bool canSendKeys() = 0;
    // One press and one release of the file manager's rename key (F2), with no modifiers
    // set explicitly. False when the events could not be made or sent.
    virtual bool pressRenameKey() = 0;
};

} // namespace tessary

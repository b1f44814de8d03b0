// KeyEvents on X11: F2 sent through XTest, possible in an X11 session whose display has
// the XTEST extension.
#pragma once

#include "platform/key_events.h"
#include "platform/linux/x11_display.h"

#include <memory>

namespace tessary {

class X11Display;

class XTestKeyEvents : public KeyEvents {
public:
    bool canSendKeys() override;
    bool pressRenameKey() override;

private:
    X11Display* display(); // connects on first use; none without a display

    std::unique_ptr<X11Display> m_display;
    bool m_triedToConnect = false;
};

} // namespace tessary

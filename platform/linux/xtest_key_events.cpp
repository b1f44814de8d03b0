// F2 through XTest on the display named by DISPLAY.
#include "platform/linux/xtest_key_events.h"

#include "platform/display_session.h"

namespace tessary {
namespace {

constexpr std::uint32_t kRenameKeysym = 0xFFBF; // XK_F2: the file manager's rename key

} // namespace

X11Display* XTestKeyEvents::display()
{
    if (!m_triedToConnect) {
        m_triedToConnect = true;
        m_display = X11Display::connect();
    }
    return m_display.get();
}

bool XTestKeyEvents::canSendKeys()
{
    if (currentDisplaySession() != DisplaySession::x11) {
        return false;
    }
    X11Display* connection = display();
    return connection != nullptr && connection->hasXTest();
}

bool XTestKeyEvents::pressRenameKey()
{
    X11Display* connection = display();
    return connection != nullptr && connection->pressAndRelease(kRenameKeysym);
}

} // namespace tessary

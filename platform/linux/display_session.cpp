// The session kind from the environment the session manager gives every process.
#include "platform/display_session.h"

#include <cstdlib>
#include <string_view>

namespace tessary {
namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

DisplaySession currentDisplaySession()
{
    const char* type = std::getenv("XDG_SESSION_TYPE");
    if (isSet("WAYLAND_DISPLAY") || (type != nullptr && std::string_view(type) == "wayland")) {
        return DisplaySession::wayland;
    }
    return isSet("DISPLAY") ? DisplaySession::x11 : DisplaySession::none;
}

} // namespace tessary

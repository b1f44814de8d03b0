// The one-button alert shared by every part of the host.
#include "user_prompts.h"

#include "shared/localization.h"

namespace tessary {

void UserPrompts::showAlert(const std::string& title, const std::string& message)
{
    runAlert({title, message, {tr("OK")}, 0});
}

} // namespace tessary

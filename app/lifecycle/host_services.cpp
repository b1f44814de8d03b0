// Construction order of the host's services, and the start-up warm-up.
#include "host_services.h"

#include "crypto.h"
#include "shared_settings.h"

namespace tessary {

HostServices::HostServices(UserPrompts& prompts)
    : loginItem(loginItems), diskAccess(bookmarks, prompts, loginItem),
      creator(workspace, bookmarks), rename(workspace, keys),
      requests(diskAccess, creator, rename, prompts), updates(workspace, &prompts)
{
}

void HostServices::warmUp()
{
    warmUpCrypto();
    workspace.warmUp();
    SharedSettings::load();
}

} // namespace tessary

// Construction order of the host's services, and the start-up warm-up.
#include "lifecycle/host_services.h"

#include "shared/crypto.h"
#include "shared/shared_settings.h"

namespace tessary {

HostServices::HostServices(UserPrompts& prompts)
    : loginItem(loginItems),
      diskAccess(bookmarks, prompts, [this] { loginItem.registerLoginItemOnFirstLaunch(); }),
      creator(bookmarks), frontFolder(fileManagers, workspace),
      rename(frontFolder, fileManagers, keys),
      requests(diskAccess, creator, workspace, rename, prompts),
      hotKey(shortcuts, frontFolder, requests, queue, prompts), updates(workspace, &prompts),
      launchTasks(loginItem, updates, hotKey)
{
}

void HostServices::warmUp()
{
    warmUpCrypto();
    workspace.warmUp();
    SharedSettings::load();
}

} // namespace tessary

// Construction order of the host's services, and the start-up warm-up.
#include "host_services.h"

#include "crypto.h"
#include "shared_settings.h"

namespace tessary {

HostServices::HostServices(UserPrompts& prompts)
    : loginItem(loginItems), diskAccess(bookmarks, prompts, loginItem),
      creator(workspace, bookmarks), automation(fileManager, workspace),
      rename(automation, fileManager, keys), requests(diskAccess, creator, rename, prompts),
      hotKey(shortcuts, automation, requests, queue, prompts), updates(workspace, &prompts),
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

// Construction order of the host's services, and the start-up warm-up.
#include "host_services.h"

#include "crypto.h"
#include "shared_settings.h"

#include <cstdlib>
#include <sstream>

namespace tessary {

HostServices::HostServices(UserPrompts& prompts)
    : loginItems(hostCommand()), loginItem(loginItems), diskAccess(bookmarks, prompts, loginItem),
      creator(workspace, bookmarks), rename(workspace, keys),
      requests(diskAccess, creator, rename, prompts)
{
}

void HostServices::warmUp()
{
    warmUpCrypto();
    workspace.warmUp();
    SharedSettings::load();
}

std::string hostCommand()
{
    std::error_code error;
    const auto self = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return "tessary";
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() &&
            std::filesystem::equivalent(std::filesystem::path(folder) / "tessary", self, error)) {
            return "tessary";
        }
    }
    return self.string();
}

} // namespace tessary

// Volume labels from udev's /dev/disk/by-label links.
#include "platform/volumes.h"

#include <sys/stat.h>

namespace tessary {
namespace {

// udev writes unsafe characters of a label as "\xNN".
std::string unescape(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            try {
                out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
                i += 3;
                continue;
            } catch (const std::exception&) {
            }
        }
        out += name[i];
    }
    return out;
}

} // namespace

std::optional<std::string> volumeLabel(const std::filesystem::path& mountPoint)
{
    struct stat mounted {};
    if (::stat(mountPoint.c_str(), &mounted) != 0) {
        return std::nullopt;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        struct stat device {};
        if (::stat(entry.path().c_str(), &device) == 0 && S_ISBLK(device.st_mode) &&
            device.st_rdev == mounted.st_dev) {
            return unescape(entry.path().filename().string());
        }
    }
    return std::nullopt;
}

} // namespace tessary

// `tessary-shortcut`, the program GNOME's custom keybinding runs for each press: it hands
// the press to the running host over the host channel and exits, without loading Qt. When
// no host listens it becomes `tessary --shortcut` (the host installed beside it), which
// starts the host for the press.
#include "shared/host_channel.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// bin/tessary from this program's folder; "tessary" on the PATH when that is unknown.
std::string hostProgram()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "tessary";
    }
    return (self.parent_path() / TESSARY_HELPERDIR_TO_BINDIR / "tessary")
        .lexically_normal()
        .string();
}

} // namespace

int main(int argc, char** /*argv*/)
{
    if (argc > 1) {
        std::fputs("Usage: tessary-shortcut\nHands a press of the global shortcut to Tessary; "
                   "the desktop's keybinding runs it.\n",
                   stderr);
        return 2;
    }
    tessary::HostMessage press;
    press.shortcut = true;
    const auto result = tessary::deliverToHost(press);
    if (result.status == tessary::DeliveryStatus::delivered) {
        return 0;
    }
    if (result.status == tessary::DeliveryStatus::failed) {
        // The press may have reached the host: sending it again could make a second file.
        std::fprintf(stderr, "tessary-shortcut: could not reach the running instance: %s\n",
                     result.error.c_str());
        return 1;
    }
    const std::string host = hostProgram();
    char name[] = "tessary";
    char option[] = "--shortcut";
    char* arguments[] = {name, option, nullptr};
    ::execvp(host.c_str(), arguments);
    std::perror(("tessary-shortcut: " + host).c_str());
    return 1;
}

// Alerts as text on stderr.
#include "console_prompts.h"

#include <cstdio>

namespace tessary {

std::size_t ConsolePrompts::runAlert(const AlertRequest& alert)
{
    std::string text = alert.messageText;
    if (!alert.informativeText.empty()) {
        text += "\n" + alert.informativeText;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    return alert.cancelButton;
}

std::optional<std::filesystem::path> ConsolePrompts::chooseFolder(const FolderPanelRequest&)
{
    return std::nullopt;
}

void ConsolePrompts::beep()
{
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

} // namespace tessary

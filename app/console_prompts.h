// Prompts without a display: each alert is written to stderr and answered with its cancel
// (or only) button; no folder can be chosen.
#pragma once

#include "user_prompts.h"

namespace tessary {

class ConsolePrompts : public UserPrompts {
public:
    std::size_t runAlert(const AlertRequest& alert) override;
    std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest& panel) override;
    // The terminal's bell.
    void beep() override;
};

} // namespace tessary

// Prompts as Qt Widgets dialogs: a modal message box and a folder-only file dialog, each
// raised and activated first.
#pragma once

#include "user_prompts.h"

namespace tessary {

class WidgetPrompts : public UserPrompts {
public:
    std::size_t runAlert(const AlertRequest& alert) override;
    std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest& panel) override;
    // The X server's bell on X11; elsewhere, where Qt makes no sound, the desktop's own
    // bell sound (the sound theme's "bell-window-system", as GNOME plays it).
    void beep() override;
};

} // namespace tessary

// The global shortcut with the service the session offers, chosen at the first
// registration: on X11 a key grab; on Wayland the GlobalShortcuts portal when the portal
// offers it, else on GNOME a custom keybinding that runs `tessary --shortcut`; nothing
// elsewhere (every registration then fails as unavailable).
#pragma once

#include "platform/global_shortcut.h"

#include <memory>
#include <string>

namespace tessary {

class SessionGlobalShortcut : public GlobalShortcut {
public:
    ShortcutRegistration add(const ShortcutKeys& keys) override;
    void remove() override;

    // The command a keybinding runs: this program's path with --shortcut, quoted for a
    // shell-like parser.
    static std::string pressCommand();

private:
    GlobalShortcut* service();

    std::unique_ptr<GlobalShortcut> m_service;
    bool m_chosen = false;
};

} // namespace tessary

// The global shortcut with the service the session offers, chosen at the first
// registration: on X11 a key grab; on Wayland the GlobalShortcuts portal when the portal
// offers it, else on GNOME a custom keybinding that runs the press helper
// `tessary-shortcut`; nothing
// elsewhere (every registration then fails as unavailable).
#pragma once

#include "platform/global_shortcut.h"

#include <filesystem>
#include <memory>
#include <string>

namespace tessary {

class SessionGlobalShortcut : public GlobalShortcut {
public:
    void add(const ShortcutKeys& keys, Done done) override;
    void remove() override;

    // The command a keybinding runs: the press helper installed with the program `executable`
    // links to (this one, as installed), in the Exec-style syntax GNOME runs it with.
    static std::string pressCommand(const std::filesystem::path& executable = "/proc/self/exe");

private:
    GlobalShortcut* service();

    std::unique_ptr<GlobalShortcut> m_service;
    bool m_chosen = false;
};

} // namespace tessary

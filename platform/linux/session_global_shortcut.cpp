// Chooses the service once, then passes every call and press through.
#include "platform/linux/session_global_shortcut.h"

#include "platform/display_session.h"
#include "platform/linux/gnome_keybinding.h"
#include "platform/linux/portal_global_shortcut.h"
#include "platform/linux/x11_global_shortcut.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include <glib.h>

namespace tessary {
namespace {

bool isGnome()
{
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktops == nullptr) {
        return false;
    }
    const std::string_view list(desktops);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (list.substr(start, end - start) == "GNOME") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

std::string SessionGlobalShortcut::pressCommand()
{
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) {
        return "tessary --shortcut";
    }
    const bool plain = std::all_of(self.begin(), self.end(), [](char c) {
        return g_ascii_isalnum(c) || std::string_view("/._+-").find(c) != std::string_view::npos;
    });
    if (plain) {
        return self + " --shortcut";
    }
    gchar* quoted = g_shell_quote(self.c_str());
    std::string command = std::string(quoted) + " --shortcut";
    g_free(quoted);
    return command;
}

GlobalShortcut* SessionGlobalShortcut::service()
{
    if (!m_chosen) {
        m_chosen = true;
        switch (currentDisplaySession()) {
        case DisplaySession::x11:
            m_service = std::make_unique<X11GlobalShortcut>();
            break;
        case DisplaySession::wayland:
            if (PortalGlobalShortcut::offered()) {
                m_service = std::make_unique<PortalGlobalShortcut>();
            } else if (isGnome()) {
                m_service = std::make_unique<GnomeKeybinding>(pressCommand());
            }
            break;
        case DisplaySession::none:
            break;
        }
        if (m_service) {
            m_service->onPress = [this] {
                if (onPress) {
                    onPress();
                }
            };
        }
    }
    return m_service.get();
}

ShortcutRegistration SessionGlobalShortcut::add(const ShortcutKeys& keys)
{
    GlobalShortcut* chosen = service();
    return chosen != nullptr ? chosen->add(keys) : ShortcutRegistration{};
}

void SessionGlobalShortcut::remove()
{
    if (GlobalShortcut* chosen = service()) {
        chosen->remove();
    }
    // A keybinding left by a Wayland session would hold the key that an X11 grab wants.
    if (currentDisplaySession() == DisplaySession::x11 && GnomeKeybinding::available()) {
        GnomeKeybinding(pressCommand()).remove();
    }
}

} // namespace tessary

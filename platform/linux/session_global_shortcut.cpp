// Chooses the service once, then passes every call and press through.
#include "platform/linux/session_global_shortcut.h"

#include "platform/display_session.h"
#include "platform/linux/gnome_keybinding.h"
#include "platform/linux/portal_global_shortcut.h"
#include "platform/linux/x11_global_shortcut.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include <glib.h>
#include <unistd.h>

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

std::string SessionGlobalShortcut::pressCommand(const std::filesystem::path& executable)
{
    std::error_code error;
    std::string self = std::filesystem::read_symlink(executable, error).string();
    // A program replaced while it runs (an upgrade) links to "<path> (deleted)"; the
    // installed program is at <path> again, or nowhere when it was removed.
    constexpr std::string_view kDeleted = " (deleted)";
    if (!error && self.ends_with(kDeleted)) {
        self.resize(self.size() - kDeleted.size());
        error = ::access(self.c_str(), X_OK) == 0 ? std::error_code()
                                                  : std::error_code(errno, std::generic_category());
    }
    if (error || self.empty()) {
        return "tessary --shortcut";
    }
    // The helper hands a press to the running host without starting a Qt program (about
    // 40 ms), and starts the host beside it when none runs.
    const std::string helper = (std::filesystem::path(self).parent_path() /
                                TESSARY_BINDIR_TO_HELPERDIR / "tessary-shortcut")
                                   .lexically_normal()
                                   .string();
    const bool plain = std::all_of(helper.begin(), helper.end(), [](char c) {
        return g_ascii_isalnum(c) || std::string_view("/._+-").find(c) != std::string_view::npos;
    });
    if (plain) {
        return helper;
    }
    // Quoted for the shell-like parser, then each % doubled: GNOME expands field codes (%f,
    // %u ...) in the command line as a desktop entry's Exec key does.
    g_autofree gchar* quoted = g_shell_quote(helper.c_str());
    std::string command;
    for (const char* c = quoted; *c != '\0'; ++c) {
        command += *c == '%' ? "%%" : std::string(1, *c);
    }
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
            m_service->onChange = [this](const std::string& trigger) {
                if (onChange) {
                    onChange(trigger);
                }
            };
        }
    }
    return m_service.get();
}

void SessionGlobalShortcut::add(const ShortcutKeys& keys, Done done)
{
    if (GlobalShortcut* chosen = service()) {
        chosen->add(keys, std::move(done));
    } else {
        done(ShortcutRegistration{});
    }
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

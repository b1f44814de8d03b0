// Writes, removes and reads the autostart desktop entry.
#include "platform/linux/autostart_login_items.h"

#include "shared/defaults_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <system_error>

#include <glib.h>
#include <unistd.h>

namespace tessary {
namespace {

// Desktop-entry quoting of one argument: one with a reserved character goes in double
// quotes, inside which ", `, $ and \ are escaped with a backslash; "%" is doubled (a single
// one starts a field code). GLib has the reverse (g_shell_parse_argv) but no such writer.
std::string quoteArgument(const std::string& argument)
{
    std::string out;
    const bool quoted =
        argument.empty() || argument.find_first_of(" \t\n\"'\\$`<>~|&;*?#()") != std::string::npos;
    for (const char c : argument) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            out += '\\';
        }
        out += c == '%' ? "%%" : std::string(1, c);
    }
    return quoted ? "\"" + out + "\"" : out;
}

std::string runningProgramCommand()
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

} // namespace

AutostartLoginItems::AutostartLoginItems(std::string command) : m_command(std::move(command))
{
}

std::filesystem::path AutostartLoginItems::entryPath()
{
    return configHome() / "autostart" / "com.orvane.tessary.desktop";
}

void AutostartLoginItems::registerApp()
{
    const std::filesystem::path path = entryPath();
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        throw LoginItemError(error.message());
    }
    const std::string command = m_command.empty() ? runningProgramCommand() : m_command;
    g_autoptr(GKeyFile) entry = g_key_file_new();
    const auto set = [&](const char* key, const std::string& value) {
        g_key_file_set_string(entry, G_KEY_FILE_DESKTOP_GROUP, key, value.c_str());
    };
    set(G_KEY_FILE_DESKTOP_KEY_TYPE, G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
    set(G_KEY_FILE_DESKTOP_KEY_NAME, "Tessary");
    set(G_KEY_FILE_DESKTOP_KEY_COMMENT, "Creates new files from templates in the file manager");
    // The desktop skips the entry once the program is gone (uninstalled).
    set(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, command);
    set(G_KEY_FILE_DESKTOP_KEY_EXEC, quoteArgument(command) + " --login");
    set(G_KEY_FILE_DESKTOP_KEY_ICON, "com.orvane.tessary");
    set(G_KEY_FILE_DESKTOP_KEY_TERMINAL, "false");
    set(G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY, "true");
    set("X-GNOME-Autostart-enabled", "true");
    gsize size = 0;
    g_autofree char* data = g_key_file_to_data(entry, &size, nullptr);
    // A fresh temporary name made exclusively, synced and renamed over the entry, so no file
    // or link already there is written through.
    g_autoptr(GError) failure = nullptr;
    if (!g_file_set_contents_full(path.c_str(), data, static_cast<gssize>(size),
                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, &failure)) {
        throw LoginItemError(failure->message);
    }
}

void AutostartLoginItems::unregisterApp()
{
    if (::unlink(entryPath().c_str()) != 0 && errno != ENOENT) {
        throw LoginItemError(std::strerror(errno));
    }
}

LoginItemStatus AutostartLoginItems::status()
{
    g_autoptr(GKeyFile) entry = g_key_file_new();
    g_autoptr(GError) error = nullptr;
    if (!g_key_file_load_from_file(entry, entryPath().c_str(), G_KEY_FILE_NONE, &error)) {
        // A file that is there but is no key file still counts as an entry.
        return error->domain == G_FILE_ERROR ? LoginItemStatus::notRegistered
                                             : LoginItemStatus::enabled;
    }
    const auto isSet = [&](const char* key, gboolean value) {
        g_autoptr(GError) missing = nullptr;
        return g_key_file_get_boolean(entry, G_KEY_FILE_DESKTOP_GROUP, key, &missing) == value &&
               missing == nullptr;
    };
    if (isSet(G_KEY_FILE_DESKTOP_KEY_HIDDEN, TRUE) || isSet("X-GNOME-Autostart-enabled", FALSE)) {
        return LoginItemStatus::notRegistered;
    }
    return LoginItemStatus::enabled;
}

} // namespace tessary

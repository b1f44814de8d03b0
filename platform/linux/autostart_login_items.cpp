// Writes, removes and reads the autostart desktop entry.
#include "autostart_login_items.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

std::filesystem::path configHome()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/") / ".config";
}

// Desktop-entry Exec quoting: arguments with reserved characters go in double quotes.
std::string execArgument(const std::string& argument)
{
    if (argument.find_first_of(" \t\"'\\$`<>~|&;*?#()") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
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
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Tessary\n"
        "Comment=Creates new files from templates in the file manager\n"
        "Exec=" +
        execArgument(m_command.empty() ? runningProgramCommand() : m_command) +
        " --login\n"
        "Icon=com.orvane.tessary\n"
        "Terminal=false\n"
        "NoDisplay=true\n"
        "X-GNOME-Autostart-enabled=true\n";
    const std::string temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << entry;
        out.close();
        if (!out) {
            throw LoginItemError(std::strerror(errno));
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        throw LoginItemError(std::strerror(code));
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
    std::ifstream in(entryPath());
    if (!in) {
        return LoginItemStatus::notRegistered;
    }
    for (std::string line; std::getline(in, line);) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") {
            return LoginItemStatus::notRegistered;
        }
    }
    return LoginItemStatus::enabled;
}

} // namespace tessary

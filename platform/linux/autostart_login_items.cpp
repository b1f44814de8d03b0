// Writes, removes and reads the autostart desktop entry.
#include "platform/linux/autostart_login_items.h"

#include "shared/defaults_store.h"
#include "shared/posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

// Desktop-entry quoting of one argument: one with a reserved character goes in double
// quotes, inside which ", `, $ and \ are escaped with a backslash.
std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() &&
        argument.find_first_of(" \t\n\"'\\$`<>~|&;*?#()") == std::string::npos) {
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

// The Exec value as the entry stores it: the quoted command line with "%" doubled (a single
// one starts a field code), then written as a desktop-entry string, whose own escapes come
// off first when it is read (so a literal backslash ends up as four).
std::string execValue(const std::vector<std::string>& arguments)
{
    std::string value;
    for (const std::string& argument : arguments) {
        if (!value.empty()) {
            value += ' ';
        }
        for (const char c : quoteArgument(argument)) {
            switch (c) {
            case '%':
                value += "%%";
                break;
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
            }
        }
    }
    return value;
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
        execValue({m_command.empty() ? runningProgramCommand() : m_command, "--login"}) +
        "\n"
        "Icon=com.orvane.tessary\n"
        "Terminal=false\n"
        "NoDisplay=true\n"
        "X-GNOME-Autostart-enabled=true\n";
    // A fresh name made exclusively, so no file or link already there is written through.
    std::string temporary = path.string() + ".XXXXXX";
    UniqueFd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out) {
        throw LoginItemError(std::strerror(errno));
    }
    error = writeAll(out.get(), entry);
    if (!error && ::fsync(out.get()) != 0) {
        error = {errno, std::generic_category()};
    }
    if (::close(out.release()) != 0 && !error) {
        error = {errno, std::generic_category()};
    }
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = {errno, std::generic_category()};
    }
    if (error) {
        ::unlink(temporary.c_str());
        throw LoginItemError(error.message());
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

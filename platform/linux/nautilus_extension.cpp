// Nautilus's module folder and its process's memory map.
#include "platform/linux/nautilus_extension.h"

#include "platform/workspace.h"

#include <fstream>

#include <gio/gio.h>

namespace tessary {
namespace {

constexpr int kStateCallTimeoutMs = 250;

// The module is mapped under its real path; a replaced file shows with " (deleted)".
bool mapsFile(std::uint32_t pid, const std::filesystem::path& file)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    const std::string wanted = " " + file.string();
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(wanted) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

NautilusExtension::NautilusExtension(std::filesystem::path folder, std::string moduleName)
    : m_folder(folder.empty() ? std::filesystem::path(TESSARY_NAUTILUS_MODULE_FOLDER)
                              : std::move(folder)),
      m_moduleName(moduleName.empty() ? std::string(TESSARY_NAUTILUS_MODULE_NAME)
                                      : std::move(moduleName))
{
}

FileManagerExtensionState NautilusExtension::state()
{
    FileManagerExtensionState state;
    const std::filesystem::path module = m_folder / m_moduleName;
    std::error_code error;
    state.installed = std::filesystem::is_regular_file(module, error);
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr) {
        return state;
    }
    const std::string name(kFileManagerId);
    g_autoptr(GVariant) reply =
        callSync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                 g_variant_new("(s)", name.c_str()), "(u)", kStateCallTimeoutMs);
    if (reply == nullptr) {
        return state; // no owner: the file manager does not run
    }
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    state.running = true;
    state.loaded =
        state.installed && mapsFile(pid, std::filesystem::weakly_canonical(module, error));
    return state;
}

} // namespace tessary

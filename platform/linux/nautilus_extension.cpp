// Nautilus's module folder, its process's memory map, and its quit action over D-Bus.
#include "nautilus_extension.h"

#include "logger.h"
#include "workspace.h"

#include <fstream>
#include <memory>

#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("app");

constexpr int kStateCallTimeoutMs = 250;
constexpr unsigned kRestartTimeoutSeconds = 10;

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

void startFileManager()
{
    const gchar* argv[] = {"nautilus", "--new-window", nullptr};
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                                G_SPAWN_STDERR_TO_DEV_NULL),
                       nullptr, nullptr, nullptr, &error)) {
        kLog.error("Could not start the file manager: %{public}s", error->message);
        g_error_free(error);
    }
}

// Waits for the running file manager to give up its name, then starts a new one.
struct Restart {
    guint watch = 0;
    guint timeout = 0;
};

void fileManagerGone(GDBusConnection*, const gchar*, gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    g_source_remove(restart->timeout);
    startFileManager();
    g_bus_unwatch_name(restart->watch); // frees `restart`
}

gboolean restartTimedOut(gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    kLog.error("The file manager did not quit within %u seconds", kRestartTimeoutSeconds);
    g_bus_unwatch_name(restart->watch);
    return G_SOURCE_REMOVE;
}

void quitAnswered(GObject* source, GAsyncResult* result, gpointer)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
        return;
    }
    kLog.error("The file manager did not quit: %{public}s", error->message);
    g_error_free(error);
}

} // namespace

NautilusExtension::NautilusExtension(std::filesystem::path folder, std::string moduleName)
    : m_folder(folder.empty() ? std::filesystem::path(TESSARY_NAUTILUS_MODULE_FOLDER)
                              : std::move(folder)),
      m_moduleName(moduleName.empty() ? std::string(TESSARY_NAUTILUS_MODULE_NAME)
                                      : std::move(moduleName))
{
}

NautilusExtension::~NautilusExtension()
{
    if (m_bus != nullptr) {
        g_object_unref(m_bus);
    }
}

GDBusConnection* NautilusExtension::bus()
{
    if (m_bus == nullptr) {
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    }
    return m_bus;
}

FileManagerExtensionState NautilusExtension::state()
{
    FileManagerExtensionState state;
    const std::filesystem::path module = m_folder / m_moduleName;
    std::error_code error;
    state.installed = std::filesystem::is_regular_file(module, error);
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        return state;
    }
    const std::string name(kFileManagerId);
    GVariant* reply = g_dbus_connection_call_sync(
        connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kStateCallTimeoutMs, nullptr, nullptr);
    if (reply == nullptr) {
        return state; // no owner: the file manager does not run
    }
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    state.running = true;
    state.loaded =
        state.installed && mapsFile(pid, std::filesystem::weakly_canonical(module, error));
    return state;
}

void NautilusExtension::restartFileManager()
{
    GDBusConnection* connection = bus();
    if (connection == nullptr || !state().running) {
        startFileManager();
        return;
    }
    const std::string name(kFileManagerId);
    auto* restart = new Restart;
    restart->watch = g_bus_watch_name_on_connection(
        connection, name.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr, fileManagerGone, restart,
        [](gpointer data) { delete static_cast<Restart*>(data); });
    restart->timeout = g_timeout_add_seconds(kRestartTimeoutSeconds, restartTimedOut, restart);
    g_dbus_connection_call(
        connection, name.c_str(), "/org/gnome/Nautilus", "org.gtk.Actions", "Activate",
        g_variant_new("(s@av@a{sv})", "quit",
                      g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0),
                      g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
        nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, quitAnswered, nullptr);
    kLog.info("Restarting the file manager so it loads the extension");
}

} // namespace tessary

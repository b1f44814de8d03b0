// Nautilus over the session bus, and GTK's window properties over X11.
#include "nautilus_file_manager.h"

#include "display_session.h"
#include "logger.h"

#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("finder-automation");

constexpr const char* kNautilusName = "org.gnome.Nautilus";
constexpr const char* kBridgePath = "/com/orvane/tessary/Bridge";
constexpr const char* kBridgeInterface = "com.orvane.tessary.Bridge";
constexpr int kPropertyTimeoutMs = 1000;

// A call that never starts the file manager; none (and `error` filled) when it fails.
GVariant* call(GDBusConnection* bus, const char* name, const char* path, const char* interface,
               const char* method, GVariant* parameters, const char* replyType, int timeoutMs,
               FileManagerError* error = nullptr)
{
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, name, path, interface, method, parameters, G_VARIANT_TYPE(replyType),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &failure);
    if (reply == nullptr) {
        if (error != nullptr) {
            error->accessDenied =
                g_error_matches(failure, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED);
            error->code = failure->code;
            error->message = failure->message;
        }
        g_error_free(failure);
    }
    return reply;
}

struct Restart {
    GDBusConnection* bus;
    guint watch = 0;
};

void spawnNautilus(const char* argument, GPid* pid)
{
    const gchar* argv[] = {"nautilus", argument, nullptr};
    GError* error = nullptr;
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                 G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, flags, nullptr, nullptr, pid,
                       &error)) {
        kLog.error("Could not start the file manager: %{public}s", error->message);
        g_error_free(error);
        *pid = 0;
    }
}

void nameVanished(GDBusConnection*, const gchar*, gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    g_bus_unwatch_name(restart->watch); // frees `restart`
    GPid pid = 0;
    spawnNautilus("--new-window", &pid);
    if (pid != 0) {
        g_child_watch_add(
            pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
    }
}

// Once the old instance has quit and left the bus, the new one starts.
void quitEnded(GPid pid, gint, gpointer data)
{
    g_spawn_close_pid(pid);
    auto* restart = static_cast<Restart*>(data);
    restart->watch =
        g_bus_watch_name_on_connection(restart->bus, kNautilusName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       nullptr, nameVanished, restart, [](gpointer done) {
                                           auto* finished = static_cast<Restart*>(done);
                                           g_object_unref(finished->bus);
                                           delete finished;
                                       });
}

} // namespace

NautilusFileManager::NautilusFileManager() = default;

NautilusFileManager::~NautilusFileManager()
{
    if (m_bus != nullptr) {
        g_object_unref(m_bus);
    }
}

GDBusConnection* NautilusFileManager::bus()
{
    if (m_bus == nullptr) {
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    }
    return m_bus;
}

std::optional<bool> NautilusFileManager::isRunning()
{
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        return std::nullopt;
    }
    GVariant* reply =
        call(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", g_variant_new("(s)", kNautilusName), "(b)", kPropertyTimeoutMs);
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

std::optional<WindowLocations>
NautilusFileManager::openWindowsWithLocations(FileManagerError* error)
{
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        *error = {false, 0, "no session bus"};
        return std::nullopt;
    }
    // Asked of Nautilus's own name, so another program that owns FileManager1 is not asked.
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        connection, kNautilusName, "/org/freedesktop/FileManager1",
        "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.FileManager1", "OpenWindowsWithLocations"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kPropertyTimeoutMs, nullptr,
        &failure);
    if (reply == nullptr) {
        // Not running: no window.
        const bool notRunning =
            g_error_matches(failure, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
            g_error_matches(failure, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
        *error = {g_error_matches(failure, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED) != FALSE,
                  failure->code, failure->message};
        g_error_free(failure);
        return notRunning ? std::optional(WindowLocations{}) : std::nullopt;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    g_variant_unref(reply);
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE("a{sas}"))) {
        g_variant_unref(value);
        *error = {false, 0, "unexpected OpenWindowsWithLocations"};
        return std::nullopt;
    }
    WindowLocations windows;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    const gchar* window = nullptr;
    GVariantIter* tabs = nullptr;
    while (g_variant_iter_next(&iter, "{&sas}", &window, &tabs)) {
        std::vector<std::string>& locations = windows[window];
        const gchar* location = nullptr;
        while (g_variant_iter_next(tabs, "&s", &location)) {
            locations.emplace_back(location);
        }
        g_variant_iter_free(tabs);
    }
    g_variant_unref(value);
    return windows;
}

std::optional<FileManagerWindow> NautilusFileManager::bridgeActiveWindow()
{
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        return std::nullopt;
    }
    GVariant* reply = call(connection, kNautilusName, kBridgePath, kBridgeInterface, "ActiveWindow",
                           nullptr, "(bss)", kBridgeTimeoutMs);
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean active = FALSE;
    const gchar* path = nullptr;
    const gchar* title = nullptr;
    g_variant_get(reply, "(b&s&s)", &active, &path, &title);
    FileManagerWindow window{active != FALSE, path, title};
    g_variant_unref(reply);
    return window;
}

std::optional<bool> NautilusFileManager::bridgeRename(const std::string& uri)
{
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        return std::nullopt;
    }
    GVariant* reply = call(connection, kNautilusName, kBridgePath, kBridgeInterface, "Rename",
                           g_variant_new("(s)", uri.c_str()), "(b)", kBridgeTimeoutMs);
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean started = FALSE;
    g_variant_get(reply, "(b)", &started);
    g_variant_unref(reply);
    return started != FALSE;
}

std::optional<FileManagerWindow> NautilusFileManager::x11ActiveWindow()
{
    if (currentDisplaySession() != DisplaySession::x11) {
        return std::nullopt;
    }
    if (!m_triedDisplay) {
        m_triedDisplay = true;
        m_display = X11Display::connect();
    }
    const auto found = m_display ? m_display->activeWindowObjectPath() : std::nullopt;
    if (!found) {
        return std::nullopt;
    }
    return FileManagerWindow{true, found->first, found->second};
}

void NautilusFileManager::restart()
{
    GDBusConnection* connection = bus();
    if (connection == nullptr) {
        return;
    }
    GPid pid = 0;
    spawnNautilus("-q", &pid);
    if (pid != 0) {
        g_child_watch_add(pid, quitEnded,
                          new Restart{static_cast<GDBusConnection*>(g_object_ref(connection))});
    }
}

} // namespace tessary

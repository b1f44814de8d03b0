// Nautilus over the session bus, and GTK's window properties over X11.
#include "platform/linux/nautilus_file_manager.h"

#include "shared/bridge_interface.h"
#include "shared/logger.h"
#include "platform/linux/session_bus.h"

#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("finder-automation");

constexpr const char* kNautilusName = "org.gnome.Nautilus";
constexpr int kPropertyTimeoutMs = 1000;
constexpr unsigned kQuitTimeoutSeconds = 10;

// The answer of a "(b)" reply, which it frees; none without a reply.
std::optional<bool> booleanReply(GVariant* reply)
{
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean answer = FALSE;
    g_variant_get(reply, "(b)", &answer);
    g_variant_unref(reply);
    return answer != FALSE;
}

// Starts the file manager with a window, not waiting for it.
void startWithWindow()
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

// A restart under way: the old instance has been asked to quit; the new one starts once
// the old one has left the bus.
struct Restart {
    GDBusConnection* bus; // a reference of its own
    guint watch = 0;
    guint timeout = 0;
};

void nameVanished(GDBusConnection*, const gchar*, gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    g_source_remove(restart->timeout);
    startWithWindow();
    g_bus_unwatch_name(restart->watch); // frees `restart`
}

gboolean quitTimedOut(gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    kLog.error("The file manager did not quit within %u seconds", kQuitTimeoutSeconds);
    g_bus_unwatch_name(restart->watch);
    return G_SOURCE_REMOVE;
}

// `nautilus -q` has handed the quit to the running instance.
void quitSent(GPid pid, gint, gpointer data)
{
    g_spawn_close_pid(pid);
    auto* restart = static_cast<Restart*>(data);
    restart->timeout = g_timeout_add_seconds(kQuitTimeoutSeconds, quitTimedOut, restart);
    restart->watch =
        g_bus_watch_name_on_connection(restart->bus, kNautilusName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       nullptr, nameVanished, restart, [](gpointer done) {
                                           auto* finished = static_cast<Restart*>(done);
                                           g_object_unref(finished->bus);
                                           delete finished;
                                       });
}

} // namespace

std::optional<bool> NautilusFileManager::isRunning()
{
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    return booleanReply(callSync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "NameHasOwner",
                                 g_variant_new("(s)", kNautilusName), "(b)", kPropertyTimeoutMs));
}

std::optional<WindowLocations>
NautilusFileManager::openWindowsWithLocations(FileManagerError* error)
{
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr) {
        *error = {false, 0, "no session bus"};
        return std::nullopt;
    }
    // Asked of Nautilus's own name, so another program that owns FileManager1 is not asked.
    GError* failure = nullptr;
    GVariant* reply =
        callSync(connection, kNautilusName, "/org/freedesktop/FileManager1",
                 "org.freedesktop.DBus.Properties", "Get",
                 g_variant_new("(ss)", "org.freedesktop.FileManager1", "OpenWindowsWithLocations"),
                 "(v)", kPropertyTimeoutMs, &failure);
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
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    GVariant* reply = callSync(connection, kNautilusName, kBridgePath, kBridgeInterface,
                               "ActiveWindow", nullptr, "(bsss)", kBridgeTimeoutMs);
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean active = FALSE;
    const gchar* path = nullptr;
    const gchar* title = nullptr;
    const gchar* location = nullptr;
    g_variant_get(reply, "(b&s&s&s)", &active, &path, &title, &location);
    FileManagerWindow window{active != FALSE, path, title, location};
    g_variant_unref(reply);
    return window;
}

std::optional<bool> NautilusFileManager::bridgeRename(const std::string& uri)
{
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    return booleanReply(callSync(connection, kNautilusName, kBridgePath, kBridgeInterface, "Rename",
                                 g_variant_new("(s)", uri.c_str()), "(b)", kBridgeTimeoutMs));
}

void NautilusFileManager::restart()
{
    GDBusConnection* connection = m_bus.connection();
    if (connection == nullptr || isRunning() != true) {
        startWithWindow();
        return;
    }
    kLog.info("Restarting the file manager so it loads the extension");
    const gchar* argv[] = {"nautilus", "-q", nullptr};
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                 G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, flags, nullptr, nullptr, &pid,
                       &error)) {
        kLog.error("The file manager did not quit: %{public}s", error->message);
        g_error_free(error);
        return;
    }
    g_child_watch_add(pid, quitSent,
                      new Restart{static_cast<GDBusConnection*>(g_object_ref(connection))});
}

} // namespace tessary

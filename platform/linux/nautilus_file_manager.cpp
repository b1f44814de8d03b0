// Nautilus's window list over the session bus.
#include "platform/linux/nautilus_file_manager.h"

#include <gio/gio.h>

namespace tessary {
namespace {

constexpr int kPropertyTimeoutMs = 1000;

} // namespace

NautilusFileManager::NautilusFileManager() : BridgeFileManager(knownFileManagerKinds().front())
{
}

std::optional<WindowLocations>
NautilusFileManager::openWindowsWithLocations(FileManagerError* error)
{
    GDBusConnection* bus = connection();
    if (bus == nullptr) {
        *error = {false, 0, "no session bus"};
        return std::nullopt;
    }
    // Asked of Nautilus's own name, so another program that owns FileManager1 is not asked.
    GError* failure = nullptr;
    GVariant* reply = callSync(
        bus, busName().c_str(), "/org/freedesktop/FileManager1", "org.freedesktop.DBus.Properties",
        "Get", g_variant_new("(ss)", "org.freedesktop.FileManager1", "OpenWindowsWithLocations"),
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

} // namespace tessary

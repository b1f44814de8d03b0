// File manager over D-Bus, default applications through GIO, front application over X11.
#include "platform/linux/linux_workspace.h"

#include "shared/logger.h"

#include <cstdlib>

#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("workspace");

constexpr int kCallTimeoutMs = 5000;

std::string fileUri(const std::filesystem::path& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri != nullptr ? uri : std::string();
    g_free(uri);
    return text;
}

void openFolderInstead(const std::string& folderUri)
{
    if (!hasGraphicalSession()) {
        return; // a file manager could not show a window anyway
    }
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(folderUri.c_str(), nullptr, &error)) {
        kLog.error("Could not open %{public}s: %{public}s", folderUri, error->message);
        g_error_free(error);
    }
}

struct RevealCall {
    std::string folderUri;
    std::shared_ptr<int> pending; // outlives the workspace if it goes first
};

void revealAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    --*call->pending;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
        return;
    }
    kLog.error("The file manager did not show the file: %{public}s", error->message);
    g_error_free(error);
    openFolderInstead(call->folderUri);
}

void openAnswered(GObject*, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<std::string> uri(static_cast<std::string*>(data));
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
        kLog.error("Could not open %{public}s: %{public}s", *uri, error->message);
        g_error_free(error);
    }
}

} // namespace

bool hasGraphicalSession()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

LinuxWorkspace::LinuxWorkspace() = default;

LinuxWorkspace::~LinuxWorkspace()
{
    if (m_bus != nullptr) {
        g_object_unref(m_bus);
    }
}

GDBusConnection* LinuxWorkspace::bus()
{
    if (m_bus == nullptr) {
        GError* error = nullptr;
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (m_bus == nullptr) {
            if (!m_reportedNoBus) { // said once; later calls try again quietly
                kLog.error("No session bus: %{public}s", error->message);
                m_reportedNoBus = true;
            }
            g_error_free(error);
        }
    }
    return m_bus;
}

void LinuxWorkspace::revealAndSelect(const std::filesystem::path& file)
{
    const std::string uri = fileUri(file);
    const std::string folderUri = fileUri(file.parent_path());
    GDBusConnection* connection = bus();
    if (connection == nullptr || uri.empty()) {
        openFolderInstead(folderUri);
        return;
    }
    const gchar* uris[] = {uri.c_str(), nullptr};
    ++*m_pending;
    g_dbus_connection_call(connection, "org.freedesktop.FileManager1",
                           "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                           "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, revealAnswered,
                           new RevealCall{folderUri, m_pending});
}

void LinuxWorkspace::openWithDefaultApp(const std::filesystem::path& file)
{
    openURL(fileUri(file));
}

void LinuxWorkspace::openURL(const std::string& url)
{
    auto* uri = new std::string(url);
    g_app_info_launch_default_for_uri_async(uri->c_str(), nullptr, nullptr, openAnswered, uri);
}

std::optional<FrontApplication> LinuxWorkspace::frontmostApplication()
{
    if (!m_triedDisplay) {
        m_triedDisplay = true;
        m_display = X11Display::connect();
    }
    return m_display ? m_display->activeApplication() : std::nullopt;
}

void LinuxWorkspace::warmUp()
{
    bus();
    g_free(g_content_type_guess("x.txt", nullptr, 0, nullptr));
    if (GAppInfo* info = g_app_info_get_default_for_type("text/plain", FALSE)) {
        g_object_unref(info);
    }
}

void LinuxWorkspace::settle(std::chrono::milliseconds timeout)
{
    const gint64 deadline = g_get_monotonic_time() + timeout.count() * 1000;
    GMainContext* context = g_main_context_default();
    while (*m_pending > 0 && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(context, FALSE)) {
            g_usleep(1000);
        }
    }
    if (m_bus != nullptr) {
        g_dbus_connection_flush_sync(m_bus, nullptr, nullptr);
    }
}

} // namespace tessary

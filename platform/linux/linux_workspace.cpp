// File manager over D-Bus, default applications through GIO, front application over X11.
#include "platform/linux/linux_workspace.h"

#include "shared/bridge_interface.h"
#include "shared/logger.h"
#include "platform/linux/known_file_managers.h"

#include <cstdlib>

#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("workspace");

constexpr int kCallTimeoutMs = 5000;

std::string fileUri(const std::filesystem::path& path)
{
    g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    return uri != nullptr ? uri : std::string();
}

void openFolderInstead(const std::string& folderUri)
{
    if (!hasGraphicalSession()) {
        return; // a file manager could not show a window anyway
    }
    g_autoptr(GError) error = nullptr;
    if (!g_app_info_launch_default_for_uri(folderUri.c_str(), nullptr, &error)) {
        kLog.error("Could not open %{public}s: %{public}s", folderUri, error->message);
    }
}

struct RevealCall {
    std::string uri;
    std::string folderUri;
    std::string fileManager;   // the bus name asked
    GCancellable* cancellable; // the workspace's, valid until it cancels the call
    int* pending;              // the workspace's count; gone once the call is cancelled
};

void revealAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    g_autoptr(GError) error = nullptr;
    g_autoptr(GVariant) reply =
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // the workspace went first
    }
    --*call->pending;
    if (reply == nullptr) {
        kLog.error("The file manager did not show the file: %{public}s", error->message);
        openFolderInstead(call->folderUri);
    }
}

// Every file manager serves FileManager1 on its own name too; the generic name belongs to
// whichever one the bus started first.
void showItems(GDBusConnection* bus, std::unique_ptr<RevealCall> call)
{
    const gchar* uris[] = {call->uri.c_str(), nullptr};
    const char* name =
        call->fileManager.empty() ? "org.freedesktop.FileManager1" : call->fileManager.c_str();
    GCancellable* cancellable = call->cancellable;
    g_dbus_connection_call(bus, name, "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems",
                           g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           kCallTimeoutMs, cancellable, revealAnswered, call.release());
}

// The bridge selected the file in an open window, or ShowItems opens one.
void bridgeRevealAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    g_autoptr(GError) error = nullptr;
    g_autoptr(GVariant) reply =
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // the workspace went first
    }
    gboolean shown = FALSE;
    if (reply != nullptr) {
        g_variant_get(reply, "(b)", &shown);
    }
    if (shown != FALSE) {
        --*call->pending;
        return;
    }
    showItems(G_DBUS_CONNECTION(source), std::move(call));
}

void openAnswered(GObject*, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<std::string> uri(static_cast<std::string*>(data));
    g_autoptr(GError) error = nullptr;
    if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
        kLog.error("Could not open %{public}s: %{public}s", *uri, error->message);
    }
}

} // namespace

bool hasGraphicalSession()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

LinuxWorkspace::LinuxWorkspace() : m_cancellable(g_cancellable_new())
{
}

LinuxWorkspace::~LinuxWorkspace()
{
    g_cancellable_cancel(m_cancellable); // answers still on their way find no workspace
    g_object_unref(m_cancellable);
    g_clear_object(&m_bus);
}

GDBusConnection* LinuxWorkspace::bus()
{
    if (m_bus == nullptr) {
        g_autoptr(GError) error = nullptr;
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (m_bus == nullptr && !m_reportedNoBus) { // said once; later calls try again quietly
            kLog.error("No session bus: %{public}s", error->message);
            m_reportedNoBus = true;
        }
    }
    return m_bus;
}

void LinuxWorkspace::revealAndSelect(const std::filesystem::path& file,
                                     const std::string& fileManager)
{
    const std::string uri = fileUri(file);
    const std::string folderUri = fileUri(file.parent_path());
    GDBusConnection* connection = bus();
    if (connection == nullptr || uri.empty()) {
        openFolderInstead(folderUri);
        return;
    }
    ++m_pending;
    auto call = std::make_unique<RevealCall>(
        RevealCall{uri, folderUri, fileManager, m_cancellable, &m_pending});
    // Where ShowItems opens a new window every time, the file manager's bridge selects the
    // file in a window that already shows its folder, if there is one.
    const FileManagerKind* kind = fileManagerKindAt(fileManager);
    if (kind == nullptr || !kind->revealsThroughBridge) {
        showItems(connection, std::move(call));
        return;
    }
    g_dbus_connection_call(connection, fileManager.c_str(), kBridgePath, kBridgeInterface, "Reveal",
                           g_variant_new("(s)", uri.c_str()), G_VARIANT_TYPE("(b)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, BridgeFileManager::kBridgeTimeoutMs,
                           m_cancellable, bridgeRevealAnswered, call.release());
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
    g_autoptr(GAppInfo) info = g_app_info_get_default_for_type("text/plain", FALSE);
}

void LinuxWorkspace::settle(std::chrono::milliseconds timeout)
{
    const gint64 deadline = g_get_monotonic_time() + timeout.count() * 1000;
    GMainContext* context = g_main_context_default();
    while (m_pending > 0 && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(context, FALSE)) {
            g_usleep(1000);
        }
    }
    if (m_bus != nullptr) {
        g_dbus_connection_flush_sync(m_bus, nullptr, nullptr);
    }
}

} // namespace tessary

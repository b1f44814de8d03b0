// Windows recorded from the menu builds, and the bridge's answers from them. Everything runs
// on the file manager's UI thread.
#include "extension/gtk3/window_bridge.h"

#include "extension/gtk3/bridge_export.h"
#include "shared/logger.h"

#include <algorithm>
#include <map>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace tessary::gtk3 {
namespace {

const Logger kLog("finder-sync");

struct WindowState {
    std::string folder;                 // URI of the folder its view shows
    std::vector<std::string> selection; // URIs, as its last items menu saw them
};

bool g_enabled = false; // loaded into the file manager the bridge was started for
SelectIn g_selectIn = nullptr;
std::map<GtkWidget*, WindowState> g_windows;
std::vector<GtkWidget*> g_focusOrder; // the window focused last first

void focusChanged(GtkWidget* window, GParamSpec*, gpointer)
{
    if (gtk_window_is_active(GTK_WINDOW(window))) {
        std::erase(g_focusOrder, window);
        g_focusOrder.insert(g_focusOrder.begin(), window);
    }
}

WindowState* stateOf(GtkWidget* widget)
{
    if (!g_enabled || widget == nullptr) {
        return nullptr;
    }
    GtkWidget* window = gtk_widget_get_toplevel(widget);
    if (!GTK_IS_WINDOW(window)) {
        return nullptr;
    }
    const auto [entry, added] = g_windows.try_emplace(window);
    if (added) {
        g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget* gone, gpointer) {
                             g_windows.erase(gone);
                             std::erase(g_focusOrder, gone);
                         }),
                         nullptr);
        g_signal_connect(window, "notify::is-active", G_CALLBACK(focusChanged), nullptr);
        g_focusOrder.push_back(window);
        focusChanged(window, nullptr, nullptr);
    }
    return &entry->second;
}

GtkWidget* activeWindow()
{
    return g_focusOrder.empty() ? nullptr : g_focusOrder.front();
}

// The file manager's own name for the window where it has one (a GtkApplicationWindow's
// number under the application's object path), else its X11 window id there.
std::string windowPath(GtkWidget* window)
{
    GApplication* application = g_application_get_default();
    const char* base =
        application != nullptr ? g_application_get_dbus_object_path(application) : nullptr;
    std::string path = std::string(base != nullptr ? base : "") + "/window/";
    if (GTK_IS_APPLICATION_WINDOW(window)) {
        return path + std::to_string(gtk_application_window_get_id(GTK_APPLICATION_WINDOW(window)));
    }
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (gdkWindow != nullptr && GDK_IS_X11_WINDOW(gdkWindow)) {
        return path + "x11_" + std::to_string(gdk_x11_window_get_xid(gdkWindow));
    }
    return path + "0";
}

GVariant* describeActiveWindow()
{
    GtkWidget* window = activeWindow();
    if (window == nullptr) {
        return noActiveWindow();
    }
    const char* title = gtk_window_get_title(GTK_WINDOW(window));
    const std::string& location = g_windows[window].folder;
    return g_variant_new("(bsss)", gtk_window_is_active(GTK_WINDOW(window)),
                         windowPath(window).c_str(),
                         title != nullptr && g_utf8_validate(title, -1, nullptr) ? title : "",
                         g_utf8_validate(location.c_str(), -1, nullptr) ? location.c_str() : "");
}

// F2 in the focused window, when its selection is exactly the file.
bool startRename(const char* uri)
{
    GtkWidget* window = activeWindow();
    const char* refusal = nullptr;
    if (window == nullptr || !gtk_window_is_active(GTK_WINDOW(window))) {
        refusal = "no window has the focus";
    } else if (const auto& selection = g_windows[window].selection;
               selection.size() != 1 || !sameFile(selection.front(), uri)) {
        refusal = "it is not the one selected file";
    } else if (!gtk_accel_groups_activate(G_OBJECT(window), GDK_KEY_F2, GdkModifierType(0))) {
        refusal = "the window has no rename key";
    }
    if (refusal != nullptr) {
        kLog.debug("Not renaming %{public}s: %{public}s", uri, refusal);
    }
    return refusal == nullptr;
}

// Selects the file in a window whose view shows its folder, the focused one first; the
// selection made is the window's selection from now on. A file manager that lets no module
// select (Nemo) gets that window brought forward as it is, the new file in view there:
// better than the new window its ShowItems would open for every file.
bool reveal(const char* uri)
{
    g_autoptr(GFile) file = g_file_new_for_uri(uri);
    g_autoptr(GFile) parent = g_file_get_parent(file);
    if (parent == nullptr) {
        return false;
    }
    g_autofree gchar* folder = g_file_get_uri(parent);
    for (GtkWidget* window : std::vector<GtkWidget*>(g_focusOrder)) {
        WindowState& state = g_windows[window];
        if (!sameFile(state.folder, folder)) {
            continue;
        }
        if (g_selectIn == nullptr) {
            gtk_window_present(GTK_WINDOW(window));
            kLog.debug("Showing the window of %{public}s without selecting it", uri);
            return true;
        }
        if (g_selectIn(window, uri)) {
            state.selection = {uri};
            gtk_window_present(GTK_WINDOW(window));
            return true;
        }
    }
    kLog.debug("No open window shows the folder of %{public}s", uri);
    return false;
}

} // namespace

void startWindowBridge(const char* applicationId, SelectIn selectIn) noexcept
{
    GApplication* application = g_application_get_default();
    const char* id =
        application != nullptr ? g_application_get_application_id(application) : nullptr;
    g_enabled = id != nullptr && g_strcmp0(id, applicationId) == 0;
    if (g_enabled) {
        g_selectIn = selectIn;
        exportBridge(applicationId, {describeActiveWindow, startRename, reveal});
    }
}

void noteFolder(GtkWidget* window, const std::string& uri) noexcept
{
    guarded(kLog, "Recording the window's folder", [&] {
        if (WindowState* state = stateOf(window)) {
            state->folder = uri;
        }
    });
}

void noteSelection(GtkWidget* window, const std::vector<std::string>& uris) noexcept
{
    guarded(kLog, "Recording the window's selection", [&] {
        if (WindowState* state = stateOf(window)) {
            state->selection = uris;
        }
    });
}

} // namespace tessary::gtk3

// The bridge object: exported on Nautilus's bus connection once the application is
// registered, answering from the GTK application's window list.
#include "extension/nautilus/nautilus_bridge.h"
#include "extension/nautilus/nautilus_api.h"

#include "shared/bridge_interface.h"
#include "shared/logger.h"

#include <cstring>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/wayland/gdkwayland.h>
#endif

namespace tessary {
namespace {

const Logger kLog("finder-sync");

constexpr const char* kNautilusId = "org.gnome.Nautilus";

// Touched only on Nautilus's UI thread: the module's callbacks and the bus methods (the
// connection dispatches them in the main context) all run there.
struct Bridge {
    bool enabled = false; // loaded into Nautilus
    GDBusNodeInfo* node = nullptr;
    guint registration = 0;
    gulong registeredHandler = 0;
    std::vector<std::string> selection; // URIs, as get_file_items last saw them
    // The file being selected in a view once the view lists it; a newer Reveal replaces it.
    GWeakRef revealView{};
    std::string revealUri;
    int revealTriesLeft = 0;
    guint revealSource = 0;
};

Bridge g_bridge;

GtkApplication* nautilusApplication()
{
    GApplication* application = g_application_get_default();
    if (application == nullptr) {
        return nullptr;
    }
    const char* id = g_application_get_application_id(application);
    if (id == nullptr || std::strcmp(id, kNautilusId) != 0 || !GTK_IS_APPLICATION(application)) {
        return nullptr;
    }
    return GTK_APPLICATION(application);
}

// The window that last had the focus, if it is one of the application's main windows.
GtkApplicationWindow* activeWindow(GtkApplication* application)
{
    GtkWindow* window = gtk_application_get_active_window(application);
    return window != nullptr && GTK_IS_APPLICATION_WINDOW(window) ? GTK_APPLICATION_WINDOW(window)
                                                                  : nullptr;
}

bool readableProperty(GObject* object, const char* name, GType type)
{
    const GParamSpec* property = g_object_class_find_property(G_OBJECT_GET_CLASS(object), name);
    return property != nullptr && (property->flags & G_PARAM_READABLE) != 0 &&
           g_type_is_a(property->value_type, type);
}

bool writableProperty(GObject* object, const char* name, GType type)
{
    const GParamSpec* property = g_object_class_find_property(G_OBJECT_GET_CLASS(object), name);
    return property != nullptr && (property->flags & G_PARAM_WRITABLE) != 0 &&
           property->value_type == type;
}

// Nautilus's tabs (its window slots) are widgets with the properties "active" (a boolean)
// and "location" (a GFile), read here by name. The active tab below `widget`, if any.
GtkWidget* activeTab(GtkWidget* widget)
{
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        GObject* object = G_OBJECT(child);
        if (readableProperty(object, "active", G_TYPE_BOOLEAN) &&
            readableProperty(object, "location", G_TYPE_FILE)) {
            gboolean active = FALSE;
            g_object_get(object, "active", &active, nullptr);
            if (active) {
                return child;
            }
            continue; // a tab holds no other tabs
        }
        if (GtkWidget* found = activeTab(child)) {
            return found;
        }
    }
    return nullptr;
}

GFile* tabLocation(GtkWidget* tab)
{
    GFile* location = nullptr;
    g_object_get(G_OBJECT(tab), "location", &location, nullptr);
    return location;
}

// The URI of the location the window's active tab shows; empty when there is none.
std::string activeTabLocation(GtkWidget* window)
{
    GtkWidget* tab = activeTab(window);
    g_autoptr(GFile) location = tab != nullptr ? tabLocation(tab) : nullptr;
    if (location == nullptr) {
        return {};
    }
    g_autofree gchar* uri = g_file_get_uri(location);
    return uri;
}

// A tab's view of its folder: the widget below it with the readable "loading" and writable
// "selection" (a list of files) properties of Nautilus's views.
GtkWidget* tabView(GtkWidget* widget)
{
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        GObject* object = G_OBJECT(child);
        if (readableProperty(object, "loading", G_TYPE_BOOLEAN) &&
            readableProperty(object, "selection", G_TYPE_POINTER) &&
            writableProperty(object, "selection", G_TYPE_POINTER)) {
            return child;
        }
        if (GtkWidget* found = tabView(child)) {
            return found;
        }
    }
    return nullptr;
}

GVariant* describeActiveWindow(GtkApplication* application)
{
    GtkApplicationWindow* window = activeWindow(application);
    if (window == nullptr) {
        return g_variant_new("(bsss)", FALSE, "", "", "");
    }
    // The key Nautilus uses for the window in OpenWindowsWithLocations.
    const char* base = g_application_get_dbus_object_path(G_APPLICATION(application));
    const std::string path = std::string(base != nullptr ? base : "/org/gnome/Nautilus") +
                             "/window/" + std::to_string(gtk_application_window_get_id(window));
    const char* title = gtk_window_get_title(GTK_WINDOW(window));
    const std::string location = activeTabLocation(GTK_WIDGET(window));
    return g_variant_new("(bsss)", gtk_window_is_active(GTK_WINDOW(window)), path.c_str(),
                         title != nullptr && g_utf8_validate(title, -1, nullptr) ? title : "",
                         g_utf8_validate(location.c_str(), -1, nullptr) ? location.c_str() : "");
}

bool sameFile(const std::string& first, const char* second)
{
    GFile* a = g_file_new_for_uri(first.c_str());
    GFile* b = g_file_new_for_uri(second);
    const bool same = g_file_equal(a, b) != FALSE;
    g_object_unref(a);
    g_object_unref(b);
    return same;
}

// The first widget of type `type` at or below `widget`, in tree order.
GtkWidget* findWidget(GtkWidget* widget, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) {
        return widget;
    }
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (GtkWidget* found = findWidget(child, type); found != nullptr) {
            return found;
        }
    }
    return nullptr;
}

// Files' rename field for the tab's view: a plain popover (no menu) holding a text entry,
// attached to the view for as long as the view lives.
GtkPopover* renamePopover(GtkWidget* widget)
{
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (GTK_IS_POPOVER(child) && !GTK_IS_POPOVER_MENU(child) &&
            findWidget(child, GTK_TYPE_ENTRY) != nullptr) {
            return GTK_POPOVER(child);
        }
        if (GtkPopover* found = renamePopover(child); found != nullptr) {
            return found;
        }
    }
    return nullptr;
}

// A rename field shown without a grab. On Wayland GTK asks for a popover's grab with the
// serial of the last key event the window saw; after the shortcut that is a key release, and
// unless it releases the key pressed last the compositor refuses the grab and closes the
// popover at once, so the typed name goes to Files' type-ahead search instead. Shown
// without a grab, the popover stays open and the window's keyboard focus is put into its
// entry; what the grab did besides is done here: a press elsewhere in the window or the
// window losing the focus closes it. Once closed, the popover is Files' own again.
struct GrablessRename {
    GtkPopover* popover = nullptr;
    GtkWindow* window = nullptr;
    GtkEventController* presses = nullptr;
    gulong unmapHandler = 0;
    gulong activeHandler = 0;
};

void closeRenameField(GrablessRename* rename)
{
    gtk_popover_popdown(rename->popover);
}

void windowPressed(GtkGestureClick* gesture, int, double, double, GrablessRename* rename)
{
    // Presses in the popover's own surface pass through the window's controllers too.
    GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(gesture));
    if (event != nullptr &&
        gdk_event_get_surface(event) == gtk_native_get_surface(GTK_NATIVE(rename->window))) {
        closeRenameField(rename);
    }
}

void windowActiveChanged(GObject*, GParamSpec*, GrablessRename* rename)
{
    if (!gtk_window_is_active(rename->window)) {
        closeRenameField(rename);
    }
}

// Hands the popover back to Files once it is no longer shown (hidden, or its window gone),
// after the unmapping has finished: setting autohide unrealizes it.
gboolean restoreRenameField(gpointer data)
{
    auto* rename = static_cast<GrablessRename*>(data);
    gtk_widget_remove_controller(GTK_WIDGET(rename->window), rename->presses);
    g_signal_handler_disconnect(rename->window, rename->activeHandler);
    gtk_popover_set_autohide(rename->popover, TRUE);
    g_object_unref(rename->popover);
    g_object_unref(rename->window);
    delete rename;
    return G_SOURCE_REMOVE;
}

void renameFieldUnmapped(GtkWidget*, GrablessRename* rename)
{
    g_signal_handler_disconnect(rename->popover, rename->unmapHandler);
    g_idle_add(restoreRenameField, rename);
}

bool onWayland(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_WAYLAND
    return GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(widget));
#else
    (void)widget;
    return false;
#endif
}

// Activates the window's rename action, on Wayland with the tab's rename field made
// grabless first (see GrablessRename); false when the action is not available.
bool activateRename(GtkApplicationWindow* window)
{
    GtkWidget* tab = onWayland(GTK_WIDGET(window)) ? activeTab(GTK_WIDGET(window)) : nullptr;
    GtkPopover* popover = tab != nullptr ? renamePopover(tab) : nullptr;
    if (popover != nullptr &&
        (gtk_widget_get_visible(GTK_WIDGET(popover)) || !gtk_popover_get_autohide(popover))) {
        popover = nullptr; // already open, or not Files' usual field: left as it is
    }
    if (popover != nullptr) {
        gtk_popover_set_autohide(popover, FALSE);
    }
    // The active view's action group is inserted on the window as "view".
    const bool activated = gtk_widget_activate_action(GTK_WIDGET(window), "view.rename", nullptr);
    if (popover == nullptr) {
        return activated;
    }
    auto* entry = GTK_ENTRY(findWidget(GTK_WIDGET(popover), GTK_TYPE_ENTRY));
    if (!activated || !gtk_widget_get_visible(GTK_WIDGET(popover))) {
        gtk_popover_set_autohide(popover, TRUE);
        return activated;
    }
    // Files selected the part of the name to type over; focusing keeps that selection.
    gtk_entry_grab_focus_without_selecting(entry);
    auto* rename = new GrablessRename;
    rename->popover = GTK_POPOVER(g_object_ref(popover));
    rename->window = GTK_WINDOW(g_object_ref(window));
    GtkGesture* presses = gtk_gesture_click_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(presses), 0);
    gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(presses), GTK_PHASE_CAPTURE);
    g_signal_connect(presses, "pressed", G_CALLBACK(windowPressed), rename);
    rename->presses = GTK_EVENT_CONTROLLER(presses);
    gtk_widget_add_controller(GTK_WIDGET(window), rename->presses);
    rename->activeHandler =
        g_signal_connect(window, "notify::is-active", G_CALLBACK(windowActiveChanged), rename);
    rename->unmapHandler =
        g_signal_connect(popover, "unmap", G_CALLBACK(renameFieldUnmapped), rename);
    return true;
}

// Starts the rename in the focused window when its selection is exactly the file.
bool startRename(GtkApplication* application, const char* uri)
{
    GtkApplicationWindow* window = activeWindow(application);
    const char* refusal = nullptr;
    if (window == nullptr || !gtk_window_is_active(GTK_WINDOW(window))) {
        refusal = "no window has the focus";
    } else if (g_bridge.selection.size() != 1 || !sameFile(g_bridge.selection.front(), uri)) {
        refusal = "it is not the one selected file";
    } else if (!activateRename(window)) {
        refusal = "the window's rename action is not available";
    }
    if (refusal != nullptr) {
        kLog.debug("Not renaming %{public}s: %{public}s", uri, refusal);
    }
    return refusal == nullptr;
}

// Selects the file in the view; true when the view's selection is now exactly that file
// (a view selects only files it lists).
bool selectIn(GObject* view, const std::string& uri)
{
    NautilusFileInfo* file = nautilus_file_info_create_for_uri(uri.c_str());
    if (file == nullptr) {
        return false;
    }
    GList one{file, nullptr, nullptr};
    g_object_set(view, "selection", &one, nullptr); // the view copies the list
    g_object_unref(file);
    GList* selection = nullptr; // a new list of new references
    g_object_get(view, "selection", &selection, nullptr);
    g_autofree gchar* first =
        selection != nullptr
            ? nautilus_file_info_get_uri(static_cast<NautilusFileInfo*>(selection->data))
            : nullptr;
    const bool selected = first != nullptr && selection->next == nullptr && sameFile(uri, first);
    nautilus_file_info_list_free(selection);
    return selected;
}

// A new file reaches the view's list through a folder monitor, a little after it is made,
// and later still when many files change (the view then shows changes every two seconds).
constexpr guint kRevealRetryMs = 25;
constexpr int kRevealTries = 120;

gboolean retryReveal(gpointer)
{
    g_autoptr(GObject) view = G_OBJECT(g_weak_ref_get(&g_bridge.revealView));
    if (view != nullptr && !selectIn(view, g_bridge.revealUri) && --g_bridge.revealTriesLeft > 0) {
        return G_SOURCE_CONTINUE;
    }
    if (view != nullptr && g_bridge.revealTriesLeft <= 0) {
        kLog.debug("%{public}s never appeared in its folder's view", g_bridge.revealUri.c_str());
    }
    g_weak_ref_set(&g_bridge.revealView, nullptr);
    g_bridge.revealSource = 0;
    return G_SOURCE_REMOVE;
}

// Selects the file in the window whose active tab shows its folder, the most recently
// focused one first, and brings that window forward; a file the view does not list yet is
// selected as soon as it does, unless a newer file is to be shown first. Selecting from
// inside, rather than through Nautilus's ShowItems, leaves the window's view as it is:
// ShowItems starts a new location change each time, and several in quick succession corrupt
// Nautilus's memory (it crashed after a few quick new files). False, so that the host asks
// ShowItems after all, when no window shows the folder or its view is still loading.
bool reveal(GtkApplication* application, const char* uri)
{
    g_autoptr(GFile) file = g_file_new_for_uri(uri);
    g_autoptr(GFile) folder = g_file_get_parent(file);
    for (GList* node = gtk_application_get_windows(application);
         node != nullptr && folder != nullptr; node = node->next) {
        GtkWidget* tab =
            GTK_IS_APPLICATION_WINDOW(node->data) ? activeTab(GTK_WIDGET(node->data)) : nullptr;
        g_autoptr(GFile) location = tab != nullptr ? tabLocation(tab) : nullptr;
        if (location == nullptr || !g_file_equal(location, folder)) {
            continue;
        }
        GtkWidget* view = tabView(tab);
        gboolean loading = TRUE;
        if (view != nullptr) {
            g_object_get(view, "loading", &loading, nullptr);
        }
        if (loading) {
            kLog.debug("The view of the folder of %{public}s is still loading", uri);
            return false;
        }
        gtk_window_present(GTK_WINDOW(node->data));
        g_weak_ref_set(&g_bridge.revealView, view);
        g_bridge.revealUri = uri;
        g_bridge.revealTriesLeft = kRevealTries;
        if (g_bridge.revealSource == 0 && retryReveal(nullptr) == G_SOURCE_CONTINUE) {
            g_bridge.revealSource = g_timeout_add(kRevealRetryMs, retryReveal, nullptr);
        }
        return true;
    }
    return false;
}

void callMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer)
{
    GVariant* answer = nullptr;
    try {
        GtkApplication* application = nautilusApplication();
        if (application != nullptr && std::strcmp(method, "ActiveWindow") == 0) {
            answer = describeActiveWindow(application);
        } else if (application != nullptr && std::strcmp(method, "Rename") == 0) {
            const gchar* uri = nullptr;
            g_variant_get(parameters, "(&s)", &uri);
            answer = g_variant_new("(b)", startRename(application, uri));
        } else if (application != nullptr && std::strcmp(method, "Reveal") == 0) {
            const gchar* uri = nullptr;
            g_variant_get(parameters, "(&s)", &uri);
            answer = g_variant_new("(b)", reveal(application, uri));
        }
    } catch (...) {
        answer = nullptr;
    }
    if (answer != nullptr) {
        g_dbus_method_invocation_return_value(invocation, answer);
    } else {
        g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED,
                                                      "not answered");
    }
}

void exportObject(GApplication* application)
{
    GDBusConnection* connection = g_application_get_dbus_connection(application);
    if (connection == nullptr || g_bridge.registration != 0) {
        return;
    }
    static const GDBusInterfaceVTable vtable = {callMethod, nullptr, nullptr, {}};
    GError* error = nullptr;
    g_bridge.registration = g_dbus_connection_register_object(
        connection, kBridgePath, g_bridge.node->interfaces[0], &vtable, nullptr, nullptr, &error);
    if (g_bridge.registration == 0) {
        kLog.error("Could not offer the file manager bridge: %{public}s", error->message);
        g_error_free(error);
    }
}

void registrationChanged(GObject* object, GParamSpec*, gpointer)
{
    GApplication* application = G_APPLICATION(object);
    if (g_application_get_is_registered(application)) {
        g_signal_handler_disconnect(object, g_bridge.registeredHandler);
        g_bridge.registeredHandler = 0;
        exportObject(application);
    }
}

} // namespace

void startBridge() noexcept
{
    GtkApplication* application = nautilusApplication();
    if (application == nullptr || g_bridge.enabled) {
        return;
    }
    g_bridge.node = g_dbus_node_info_new_for_xml(kBridgeXml, nullptr);
    if (g_bridge.node == nullptr) {
        return;
    }
    g_bridge.enabled = true;
    GApplication* base = G_APPLICATION(application);
    if (g_application_get_is_registered(base)) {
        exportObject(base);
    } else {
        g_bridge.registeredHandler = g_signal_connect(base, "notify::is-registered",
                                                      G_CALLBACK(registrationChanged), nullptr);
    }
}

void noteSelection(GList* files) noexcept
{
    if (!g_bridge.enabled) {
        return;
    }
    try {
        std::vector<std::string> uris;
        for (GList* node = files; node != nullptr; node = node->next) {
            gchar* uri = nautilus_file_info_get_uri(static_cast<NautilusFileInfo*>(node->data));
            uris.emplace_back(uri != nullptr ? uri : "");
            g_free(uri);
        }
        g_bridge.selection = std::move(uris);
    } catch (...) {
        g_bridge.selection.clear();
    }
}

} // namespace tessary

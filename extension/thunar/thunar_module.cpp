// The Thunar plugin: the shared GTK 3 menu provider over thunarx, and the bridge answered
// from Thunar's own window state. Thunar builds its menus when they open, recreates its
// providers from time to time (the state lives at module level) and would unload a plugin
// that is not resident.
//   ActiveWindow: the application's active window and its "current-directory".
//   Rename: Thunar 4.18 renames in a dialog only: its own RenameFile call opens that dialog
//   for the file, when the file is exactly the focused window's selection.
//   Reveal: selects the file in the view of an open window that shows its folder.
#include "extension/gtk3/bridge_export.h"
#include "extension/gtk3/menu_provider.h"

// The plugin header lacks C linkage for some of its functions.
extern "C" {
#include <thunarx/thunarx.h>
}

namespace tessary {
namespace {

const Logger kLog("finder-sync");

constexpr const char* kThunarId = "org.xfce.Thunar";

bool hasProperty(GObject* object, const char* name, GType type, GParamFlags flags)
{
    const GParamSpec* property = g_object_class_find_property(G_OBJECT_GET_CLASS(object), name);
    return property != nullptr && (property->flags & flags) == flags &&
           g_type_is_a(property->value_type, type);
}

GtkWindow* activeWindow()
{
    GApplication* application = g_application_get_default();
    if (application == nullptr || !GTK_IS_APPLICATION(application)) {
        return nullptr;
    }
    GtkWindow* window = gtk_application_get_active_window(GTK_APPLICATION(application));
    return window != nullptr && hasProperty(G_OBJECT(window), "current-directory", G_TYPE_OBJECT,
                                            G_PARAM_READABLE)
               ? window
               : nullptr;
}

// The URI of the folder a Thunar window shows; empty when it shows none.
std::string folderOf(GtkWindow* window)
{
    GObject* folder = nullptr;
    g_object_get(window, "current-directory", &folder, nullptr);
    std::string uri;
    if (folder != nullptr && THUNARX_IS_FILE_INFO(folder)) {
        g_autofree gchar* text = thunarx_file_info_get_uri(THUNARX_FILE_INFO(folder));
        uri = text != nullptr ? text : "";
    }
    if (folder != nullptr) {
        g_object_unref(folder);
    }
    return uri;
}

// The visible view of a window: in the current tab of its notebook, the widget with the
// read-write "selected-files" list that Thunar's views share (its side pane has one too).
GObject* visibleView(GtkWidget* widget, bool inTab = false)
{
    if (!gtk_widget_get_visible(widget)) {
        return nullptr;
    }
    if (inTab && hasProperty(G_OBJECT(widget), "selected-files", THUNARX_TYPE_FILE_INFO_LIST,
                             GParamFlags(G_PARAM_READABLE | G_PARAM_WRITABLE))) {
        return G_OBJECT(widget);
    }
    if (GTK_IS_NOTEBOOK(widget)) {
        GtkNotebook* notebook = GTK_NOTEBOOK(widget);
        GtkWidget* page =
            gtk_notebook_get_nth_page(notebook, gtk_notebook_get_current_page(notebook));
        return page != nullptr ? visibleView(page, true) : nullptr;
    }
    GObject* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* node = children; node != nullptr && found == nullptr; node = node->next) {
            found = visibleView(GTK_WIDGET(node->data), inTab);
        }
        g_list_free(children);
    }
    return found;
}

std::vector<std::string> selectionOf(GObject* view)
{
    GList* files = nullptr; // a copy
    g_object_get(view, "selected-files", &files, nullptr);
    std::vector<std::string> uris;
    for (GList* node = files; node != nullptr; node = node->next) {
        if (THUNARX_IS_FILE_INFO(node->data)) {
            g_autofree gchar* uri = thunarx_file_info_get_uri(THUNARX_FILE_INFO(node->data));
            uris.emplace_back(uri != nullptr ? uri : "");
        }
    }
    thunarx_file_info_list_free(files);
    return uris;
}

GVariant* describeActiveWindow()
{
    GtkWindow* window = activeWindow();
    if (window == nullptr) {
        return gtk3::noActiveWindow();
    }
    GApplication* application = g_application_get_default();
    const char* base = g_application_get_dbus_object_path(application);
    const std::string path =
        std::string(base != nullptr ? base : "") + "/window/" +
        std::to_string(GTK_IS_APPLICATION_WINDOW(window)
                           ? gtk_application_window_get_id(GTK_APPLICATION_WINDOW(window))
                           : 0);
    const char* title = gtk_window_get_title(window);
    const std::string location = folderOf(window);
    return g_variant_new("(bsss)", gtk_window_is_active(window), path.c_str(),
                         title != nullptr && g_utf8_validate(title, -1, nullptr) ? title : "",
                         g_utf8_validate(location.c_str(), -1, nullptr) ? location.c_str() : "");
}

// Thunar's rename dialog for the file, through its own D-Bus call on this process's
// connection; the answer comes only when the dialog closes, so none is awaited.
bool startRename(const char* uri)
{
    GtkWindow* window = activeWindow();
    GObject* view = window != nullptr ? visibleView(GTK_WIDGET(window)) : nullptr;
    const char* refusal = nullptr;
    GDBusConnection* connection = g_application_get_dbus_connection(g_application_get_default());
    if (window == nullptr || !gtk_window_is_active(window) || view == nullptr) {
        refusal = "no window has the focus";
    } else if (const auto selection = selectionOf(view);
               selection.size() != 1 || !gtk3::sameFile(selection.front(), uri)) {
        refusal = "it is not the one selected file";
    } else if (connection == nullptr) {
        refusal = "Thunar is not on the bus";
    }
    if (refusal != nullptr) {
        kLog.debug("Not renaming %{public}s: %{public}s", uri, refusal);
        return false;
    }
    g_dbus_connection_call(connection, g_dbus_connection_get_unique_name(connection),
                           "/org/xfce/FileManager", "org.xfce.FileManager", "RenameFile",
                           g_variant_new("(sss)", uri, "", ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           G_MAXINT, nullptr, nullptr, nullptr);
    return true;
}

// The file's row in a view's list: the model of the view's list widget holds the folder's
// files in its one column of file objects.
GObject* fileInView(GObject* view, const char* uri)
{
    GtkWidget* list = gtk_bin_get_child(GTK_BIN(view));
    if (list == nullptr ||
        !hasProperty(G_OBJECT(list), "model", GTK_TYPE_TREE_MODEL, G_PARAM_READABLE)) {
        return nullptr;
    }
    GtkTreeModel* model = nullptr;
    g_object_get(list, "model", &model, nullptr);
    if (model == nullptr) {
        return nullptr;
    }
    int column = -1;
    for (int i = 0; i < gtk_tree_model_get_n_columns(model) && column < 0; ++i) {
        if (g_type_is_a(gtk_tree_model_get_column_type(model, i), THUNARX_TYPE_FILE_INFO)) {
            column = i;
        }
    }
    GObject* found = nullptr;
    GtkTreeIter row;
    for (bool more = column >= 0 && gtk_tree_model_get_iter_first(model, &row);
         more && found == nullptr; more = gtk_tree_model_iter_next(model, &row)) {
        GObject* file = nullptr;
        gtk_tree_model_get(model, &row, column, &file, -1);
        if (file != nullptr) {
            g_autofree gchar* fileUri = thunarx_file_info_get_uri(THUNARX_FILE_INFO(file));
            if (fileUri != nullptr && gtk3::sameFile(fileUri, uri)) {
                found = file; // keeps the reference
            } else {
                g_object_unref(file);
            }
        }
    }
    g_object_unref(model);
    return found;
}

// Selects the file in the view of an open window that shows its folder, the focused one
// first; opens nothing.
bool reveal(const char* uri)
{
    g_autoptr(GFile) file = g_file_new_for_uri(uri);
    g_autoptr(GFile) parent = g_file_get_parent(file);
    GApplication* application = g_application_get_default();
    if (parent == nullptr || !GTK_IS_APPLICATION(application)) {
        return false;
    }
    g_autofree gchar* folder = g_file_get_uri(parent);
    // The application lists its windows, the focused one first.
    for (GList* node = gtk_application_get_windows(GTK_APPLICATION(application)); node != nullptr;
         node = node->next) {
        GtkWindow* window = GTK_WINDOW(node->data);
        if (!hasProperty(G_OBJECT(window), "current-directory", G_TYPE_OBJECT, G_PARAM_READABLE) ||
            !gtk3::sameFile(folderOf(window), folder)) {
            continue;
        }
        GObject* view = visibleView(GTK_WIDGET(window));
        GObject* row = view != nullptr ? fileInView(view, uri) : nullptr;
        if (row == nullptr) {
            continue;
        }
        GList selection = {row, nullptr, nullptr};
        g_object_set(view, "selected-files", &selection, nullptr);
        g_object_unref(row);
        gtk_window_present(window);
        return true;
    }
    kLog.debug("No open window shows the folder of %{public}s", uri);
    return false;
}

struct ThunarApi {
    using Provider = ThunarxMenuProvider;
    using ProviderIface = ThunarxMenuProviderIface;
    using FileInfo = ThunarxFileInfo;
    using Item = ThunarxMenuItem;
    using Menu = ThunarxMenu;
    static constexpr const char* kBusName = kThunarId;
    static constexpr const char* kTypeName = "TessaryThunarMenuProvider";
    static GType interfaceType() { return thunarx_menu_provider_get_type(); }
    template <class Folder, class Files>
    static void setMenuCalls(ProviderIface* iface, Folder folderItems, Files fileItems)
    {
        iface->get_folder_menu_items = folderItems;
        iface->get_file_menu_items = fileItems;
    }
    static char* uri(FileInfo* file) { return thunarx_file_info_get_uri(file); }
    static Item* newItem(const char* name, const char* label, const char* icon)
    {
        return thunarx_menu_item_new(name, label, "", icon);
    }
    static Menu* newMenu() { return thunarx_menu_new(); }
    static void append(Menu* menu, Item* item) { thunarx_menu_append_item(menu, item); }
    static void setSubmenu(Item* item, Menu* menu) { thunarx_menu_item_set_menu(item, menu); }
    static void itemsUpdated(Provider*) {} // menus are built when they open
    static void startBridge()
    {
        gtk3::exportBridge(kThunarId, {describeActiveWindow, startRename, reveal});
    }
};

using Provider = gtk3::MenuProvider<ThunarApi>;

} // namespace
} // namespace tessary

#define TESSARY_EXPORT extern "C" __attribute__((visibility("default")))

TESSARY_EXPORT void thunar_extension_initialize(ThunarxProviderPlugin* plugin)
{
    if (thunarx_check_version(THUNARX_MAJOR_VERSION, THUNARX_MINOR_VERSION,
                              THUNARX_MICRO_VERSION) != nullptr) {
        return;
    }
    thunarx_provider_plugin_set_resident(plugin, TRUE);
    tessary::Provider::registerType(G_TYPE_MODULE(plugin));
}

TESSARY_EXPORT void thunar_extension_shutdown(void)
{
}

TESSARY_EXPORT void thunar_extension_list_types(const GType** types, gint* n_types)
{
    static GType list[1];
    list[0] = tessary::Provider::type();
    *types = list;
    *n_types = list[0] != 0 ? 1 : 0;
}

// The Nautilus module: a NautilusMenuProvider that offers the extension's menu in local
// folders and hands a chosen item to the host.
//
// Nautilus builds these menus ahead of time, on its UI thread, whenever a folder loads or
// the selection changes; each item carries the context of its build and runs the create
// action with it when activated, on a worker thread of its own. No C++ exception may leave a
// callback: Nautilus is C.
#include "extension/menu_extension.h"
#include "extension/nautilus/nautilus_api.h"
#include "extension/nautilus/nautilus_bridge.h"
#include "shared/localization.h"

#include <filesystem>
#include <memory>

#include <dlfcn.h>

#include <gio/gio.h>
#include <glib-object.h>

namespace tessary {
namespace {

const Logger kLog("finder-sync");

struct TessaryMenuProvider {
    GObject parent;
    MenuExtension* menuExtension;
};

struct TessaryMenuProviderClass {
    GObjectClass parent;
};

void initMenuProvider(NautilusMenuProviderInterface* iface);

// GLib's type macros cast the way C does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_DYNAMIC_TYPE_EXTENDED(TessaryMenuProvider, tessary_menu_provider, G_TYPE_OBJECT, 0,
                               G_IMPLEMENT_INTERFACE_DYNAMIC(NAUTILUS_TYPE_MENU_PROVIDER,
                                                             initMenuProvider))
#pragma GCC diagnostic pop

TessaryMenuProvider* asProvider(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, tessary_menu_provider_get_type(),
                                      TessaryMenuProvider);
}

// The folder this module was loaded from.
std::filesystem::path moduleFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).parent_path();
}

// The translations installed with this module, not those beside the file manager's program.
void useOwnCatalogues()
{
    if (const auto folder = moduleFolder(); !folder.empty()) {
        setLocaleDirectory((folder / TESSARY_MODULE_TO_LOCALEDIR).lexically_normal());
    }
}

std::filesystem::path hostBinary()
{
    return (moduleFolder() / TESSARY_MODULE_TO_BINDIR / "tessary").lexically_normal();
}

// The local path of a file: URI, or none for every other location (search, recent files,
// trash, remote folders).
std::optional<std::string> localPath(NautilusFileInfo* file)
{
    gchar* uri = nautilus_file_info_get_uri(file);
    std::optional<std::string> path;
    if (uri != nullptr && isObservedUri(uri)) {
        if (gchar* local = g_filename_from_uri(uri, nullptr, nullptr)) {
            path = local;
            g_free(local);
        }
    }
    g_free(uri);
    return path;
}

struct ItemAction {
    gpointer provider; // a reference, so the MenuExtension outlives the item
    std::shared_ptr<const MenuContext> context;
    std::int64_t tag;
};

// One chosen item on its way to the host, on the worker thread.
struct Click {
    gpointer provider; // a reference, released by the worker
    std::shared_ptr<const MenuContext> context;
    std::int64_t tag;
};

void runClick(gpointer data, gpointer)
{
    const std::unique_ptr<Click> click(static_cast<Click*>(data));
    guarded(kLog, "Creating a file", [&] {
        if (const MenuExtension* menuExtension = asProvider(click->provider)->menuExtension) {
            menuExtension->createFile(click->tag, *click->context);
        }
    });
    g_object_unref(click->provider);
}

// Everything after a click (the key, signing, the hand-over, starting the host) runs on this
// one thread, a click at a time in the order chosen, so Nautilus's UI thread never waits for
// the host and no two clicks start a host each.
GThreadPool* clickWorker()
{
    static GThreadPool* const worker = g_thread_pool_new(runClick, nullptr, 1, TRUE, nullptr);
    return worker;
}

void activateItem(NautilusMenuItem*, gpointer data)
{
    guarded(kLog, "Creating a file", [data] {
        const auto* action = static_cast<const ItemAction*>(data);
        g_thread_pool_push(clickWorker(),
                           new Click{g_object_ref(action->provider), action->context, action->tag},
                           nullptr);
    });
}

void releaseItemAction(gpointer data, GClosure*)
{
    auto* action = static_cast<ItemAction*>(data);
    g_object_unref(action->provider);
    delete action;
}

// Nautilus turns each item name into one action of the window, shared by the folder's menu
// and the selection's menu, which it builds side by side: the names carry the menu kind so
// that an item of one menu never runs with the other's context.
std::string itemName(const MenuItem& item, MenuKind kind)
{
    const std::string menu = kind == MenuKind::items ? "items" : "folder";
    return "TessaryMenuProvider::" + menu +
           (item.tag ? "-template-" + std::to_string(*item.tag) : std::string("-submenu"));
}

NautilusMenuItem* toNautilus(gpointer provider, const MenuItem& item,
                             const std::shared_ptr<const MenuContext>& context)
{
    const std::string name = itemName(item, context->kind);
    const std::string icon = item.icon ? std::string(*item.icon) : std::string();
    NautilusMenuItem* entry = nautilus_menu_item_new(name.c_str(), item.title.c_str(), nullptr,
                                                     item.icon ? icon.c_str() : nullptr);
    if (item.action == MenuAction::createFile && item.tag) {
        auto* action = new ItemAction{g_object_ref(provider), context, *item.tag};
        g_signal_connect_data(entry, "activate", G_CALLBACK(activateItem), action,
                              releaseItemAction, GConnectFlags(0));
    }
    if (!item.submenu.empty()) {
        NautilusMenu* submenu = nautilus_menu_new();
        for (const MenuItem& child : item.submenu) {
            NautilusMenuItem* childEntry = toNautilus(provider, child, context);
            nautilus_menu_append_item(submenu, childEntry);
            g_object_unref(childEntry);
        }
        nautilus_menu_item_set_submenu(entry, submenu); // takes its own reference
        g_object_unref(submenu);
    }
    return entry;
}

// The direct item first: the list is returned to Nautilus, which frees it.
GList* toNautilus(gpointer provider, const std::optional<BuiltMenu>& built)
{
    GList* items = nullptr;
    if (built) {
        for (const MenuItem& item : built->menu.items) {
            items = g_list_prepend(items, toNautilus(provider, item, built->context));
        }
    }
    return g_list_reverse(items);
}

GList* backgroundItems(NautilusMenuProvider* provider, NautilusFileInfo* currentFolder)
{
    GList* items = nullptr;
    guarded(kLog, "Building the folder menu", [&] {
        MenuExtension* menuExtension = asProvider(provider)->menuExtension;
        const auto folder = localPath(currentFolder);
        if (menuExtension == nullptr || !folder) {
            return;
        }
        items = toNautilus(provider, menuExtension->menu(MenuKind::container, folder, {}));
    });
    return items;
}

GList* fileItems(NautilusMenuProvider* provider, GList* files)
{
    noteSelection(files);
    GList* items = nullptr;
    guarded(kLog, "Building the items menu", [&] {
        MenuExtension* menuExtension = asProvider(provider)->menuExtension;
        if (menuExtension == nullptr || files == nullptr) {
            return;
        }
        std::vector<std::string> selected;
        for (GList* node = files; node != nullptr; node = node->next) {
            auto path = localPath(static_cast<NautilusFileInfo*>(node->data));
            if (!path) {
                return;
            }
            selected.push_back(std::move(*path));
        }
        std::optional<std::string> targeted = selected.front();
        items = toNautilus(provider, menuExtension->menu(MenuKind::items, std::move(targeted),
                                                         std::move(selected)));
    });
    return items;
}

void initMenuProvider(NautilusMenuProviderInterface* iface)
{
    iface->get_background_items = backgroundItems;
    iface->get_file_items = fileItems;
}

void tessary_menu_provider_finalize(GObject* object)
{
    TessaryMenuProvider* self = asProvider(object);
    delete self->menuExtension;
    self->menuExtension = nullptr;
    G_OBJECT_CLASS(tessary_menu_provider_parent_class)->finalize(object);
}

void tessary_menu_provider_class_init(TessaryMenuProviderClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = tessary_menu_provider_finalize;
}

void tessary_menu_provider_class_finalize(TessaryMenuProviderClass*)
{
}

void tessary_menu_provider_init(TessaryMenuProvider* self)
{
    self->menuExtension = nullptr;
    // Without the object the provider offers no menu; Nautilus itself goes on.
    guarded(kLog, "Starting the extension", [self] {
        self->menuExtension = new MenuExtension(HostHandOver(hostBinary(), "org.gnome.Nautilus"));
        clickWorker(); // started now, so that no click waits for a thread to start
    });
}

} // namespace
} // namespace tessary

extern "C" {

void nautilus_module_initialize(GTypeModule* module)
{
    tessary::guarded(tessary::kLog, "Loading the module", [module] {
        tessary::useOwnCatalogues();
        tessary::tessary_menu_provider_register_type(module);
    });
    tessary::startBridge();
}

void nautilus_module_shutdown(void)
{
}

void nautilus_module_list_types(const GType** types, int* num_types)
{
    static GType list[1];
    list[0] = tessary::tessary_menu_provider_get_type();
    *types = list;
    *num_types = list[0] != 0 ? 1 : 0;
}

} // extern "C"

// The Caja module: the shared GTK 3 menu provider over Caja's extension API.
#include "extension/gtk3/menu_provider.h"

#include <libcaja-extension/caja-menu-provider.h>

#include <dlfcn.h>

namespace tessary {
namespace {

// Caja exports its window and view functions to the modules it loads: the bridge selects a
// file through them (resolved at run time; without them Reveal answers false). The view
// takes the selection as a list of GFile.
template <class Function> Function cajaFunction(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_DEFAULT, name));
}

bool selectInCaja(GtkWidget* window, const char* uri)
{
    static const auto activeSlot =
        cajaFunction<void* (*)(void*)>("caja_window_info_get_active_slot");
    static const auto currentView =
        cajaFunction<void* (*)(void*)>("caja_window_slot_info_get_current_view");
    static const auto setSelection =
        cajaFunction<void (*)(void*, GList*)>("caja_view_set_selection");
    if (activeSlot == nullptr || currentView == nullptr || setSelection == nullptr) {
        return false;
    }
    void* slot = activeSlot(window);
    void* view = slot != nullptr ? currentView(slot) : nullptr;
    if (view == nullptr) {
        return false;
    }
    GFile* file = g_file_new_for_uri(uri);
    GList selection = {file, nullptr, nullptr};
    setSelection(view, &selection);
    g_object_unref(file);
    return true;
}

struct CajaApi {
    using Provider = CajaMenuProvider;
    using ProviderIface = CajaMenuProviderIface;
    using FileInfo = CajaFileInfo;
    using Item = CajaMenuItem;
    using Menu = CajaMenu;
    static constexpr const char* kBusName = "org.mate.Caja";
    static constexpr const char* kTypeName = "TessaryCajaMenuProvider";
    static GType interfaceType() { return caja_menu_provider_get_type(); }
    template <class Folder, class Files>
    static void setMenuCalls(ProviderIface* iface, Folder folderItems, Files fileItems)
    {
        iface->get_background_items = folderItems;
        iface->get_file_items = fileItems;
    }
    static char* uri(FileInfo* file) { return caja_file_info_get_uri(file); }
    static Item* newItem(const char* name, const char* label, const char* icon)
    {
        return caja_menu_item_new(name, label, "", icon);
    }
    static Menu* newMenu() { return caja_menu_new(); }
    static void append(Menu* menu, Item* item) { caja_menu_append_item(menu, item); }
    static void setSubmenu(Item* item, Menu* menu) { caja_menu_item_set_submenu(item, menu); }
    static void itemsUpdated(Provider* provider)
    {
        caja_menu_provider_emit_items_updated_signal(provider);
    }
    static void startBridge() { gtk3::startWindowBridge(kBusName, selectInCaja); }
};

using Provider = gtk3::MenuProvider<CajaApi>;

} // namespace
} // namespace tessary

#define TESSARY_EXPORT extern "C" __attribute__((visibility("default")))

TESSARY_EXPORT void caja_module_initialize(GTypeModule* module)
{
    tessary::Provider::registerType(module);
}

TESSARY_EXPORT void caja_module_shutdown(void)
{
}

TESSARY_EXPORT void caja_module_list_types(const GType** types, int* num_types)
{
    static GType list[1];
    list[0] = tessary::Provider::type();
    *types = list;
    *num_types = list[0] != 0 ? 1 : 0;
}

// The Nemo module: the shared GTK 3 menu provider over Nemo's extension API.
#include "extension/gtk3/menu_provider.h"

#include <libnemo-extension/nemo-menu-provider.h>

namespace tessary {
namespace {

struct NemoApi {
    using Provider = NemoMenuProvider;
    using ProviderIface = NemoMenuProviderIface;
    using FileInfo = NemoFileInfo;
    using Item = NemoMenuItem;
    using Menu = NemoMenu;
    static constexpr const char* kBusName = "org.Nemo";
    static constexpr const char* kTypeName = "TessaryNemoMenuProvider";
    static GType interfaceType() { return nemo_menu_provider_get_type(); }
    template <class Folder, class Files>
    static void setMenuCalls(ProviderIface* iface, Folder folderItems, Files fileItems)
    {
        iface->get_background_items = folderItems;
        iface->get_file_items = fileItems;
    }
    static char* uri(FileInfo* file) { return nemo_file_info_get_uri(file); }
    static Item* newItem(const char* name, const char* label, const char* icon)
    {
        return nemo_menu_item_new(name, label, "", icon);
    }
    static Menu* newMenu() { return nemo_menu_new(); }
    static void append(Menu* menu, Item* item) { nemo_menu_append_item(menu, item); }
    static void setSubmenu(Item* item, Menu* menu) { nemo_menu_item_set_submenu(item, menu); }
    static void itemsUpdated(Provider* provider)
    {
        nemo_menu_provider_emit_items_updated_signal(provider);
    }
    static void startBridge() { gtk3::startWindowBridge(kBusName); }
};

using Provider = gtk3::MenuProvider<NemoApi>;

} // namespace
} // namespace tessary

#define TESSARY_EXPORT extern "C" __attribute__((visibility("default")))

TESSARY_EXPORT void nemo_module_initialize(GTypeModule* module)
{
    tessary::Provider::registerType(module);
}

TESSARY_EXPORT void nemo_module_shutdown(void)
{
}

TESSARY_EXPORT void nemo_module_list_types(const GType** types, int* num_types)
{
    static GType list[1];
    list[0] = tessary::Provider::type();
    *types = list;
    *num_types = list[0] != 0 ? 1 : 0;
}

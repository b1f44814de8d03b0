// One menu provider for the GTK 3 file managers, whose extension APIs differ only in their
// prefix (Nemo, Caja) or little more (Thunar): `Api` names the types and functions, this file
// does the rest.
// The file manager builds these menus ahead of time, on its UI thread, whenever a folder
// loads, a tab is switched or the selection changes; each item carries the context of its
// build and runs the create action with it when activated. When the stored settings change,
// the provider tells the file manager its items changed, so that the next right-click shows
// the new template list. No C++ exception may leave a callback: the file managers are C.
//
// `Api` provides: the types Provider, ProviderIface, FileInfo, Item, Menu; kBusName (the
// file manager's bus name), kTypeName; interfaceType(), setMenuCalls(iface, folderItems,
// fileItems), uri(FileInfo*), newItem(name, label, icon), newMenu(), append(Menu*, Item*),
// setSubmenu(Item*, Menu*), itemsUpdated(Provider*), startBridge().
#pragma once

#include "extension/gtk3/module_support.h"
#include "extension/gtk3/window_bridge.h"
#include "extension/menu_extension.h"
#include "shared/logger.h"

#include <algorithm>
#include <string>
#include <vector>

#include <glib-object.h>
#include <gtk/gtk.h>

namespace tessary::gtk3 {

template <class Api> class MenuProvider {
public:
    // Registers the provider type with the module and starts the bridge and the settings
    // watch. Never throws.
    static void registerType(GTypeModule* module) noexcept
    {
        guarded(log(), "Loading the module", [module] {
            useOwnCatalogues();
            static const GTypeInfo info = {
                sizeof(GObjectClass), nullptr, nullptr,      nullptr, nullptr, nullptr,
                sizeof(GObject),      0,       instanceInit, nullptr};
            s_type = g_type_module_register_type(module, G_TYPE_OBJECT, Api::kTypeName, &info,
                                                 GTypeFlags(0));
            static const GInterfaceInfo iface = {initInterface, nullptr, nullptr};
            g_type_module_add_interface(module, s_type, Api::interfaceType(), &iface);
            watchSettings(itemsChanged);
        });
        Api::startBridge();
    }

    static GType type() { return s_type; }

private:
    struct ItemAction {
        const MenuExtension* extension;
        std::shared_ptr<const MenuContext> context;
        std::int64_t tag;
    };

    static const Logger& log()
    {
        static const Logger logger("finder-sync");
        return logger;
    }

    static void instanceInit(GTypeInstance* instance, gpointer)
    {
        s_instances.push_back(G_OBJECT(instance));
        g_object_weak_ref(
            G_OBJECT(instance), [](gpointer, GObject* gone) { std::erase(s_instances, gone); },
            nullptr);
        menuExtension(Api::kBusName); // made now, not on the first right-click
    }

    static void itemsChanged()
    {
        for (GObject* provider : s_instances) {
            Api::itemsUpdated(reinterpret_cast<typename Api::Provider*>(provider));
        }
    }

    static void activate(typename Api::Item*, gpointer data)
    {
        const auto* action = static_cast<const ItemAction*>(data);
        createLater(*action->extension, action->context, action->tag);
    }

    // The window turns each item name into one action of a group it shares between the
    // folder's menu and the selection's menu, and refuses a name twice: the names carry the
    // menu kind, so that an item of one menu never runs with the other's context, and the
    // level, as the default template is both the direct item and one in the submenu.
    static typename Api::Item* toItem(const MenuExtension& extension, const MenuItem& item,
                                      const std::shared_ptr<const MenuContext>& context,
                                      bool inSubmenu = false)
    {
        const std::string name =
            std::string("TessaryMenuProvider::") +
            (context->kind == MenuKind::items ? "items" : "folder") +
            (inSubmenu ? "-submenu" : "") +
            (item.tag ? "-template-" + std::to_string(*item.tag) : std::string("-submenu"));
        const std::string icon = item.icon ? std::string(*item.icon) : std::string();
        typename Api::Item* entry =
            Api::newItem(name.c_str(), item.title.c_str(), item.icon ? icon.c_str() : nullptr);
        if (item.action == MenuAction::createFile && item.tag) {
            g_signal_connect_data(
                entry, "activate", G_CALLBACK(activate),
                new ItemAction{&extension, context, *item.tag},
                [](gpointer data, GClosure*) { delete static_cast<ItemAction*>(data); },
                GConnectFlags(0));
        }
        if (!item.submenu.empty()) {
            typename Api::Menu* submenu = Api::newMenu();
            for (const MenuItem& child : item.submenu) {
                typename Api::Item* childEntry = toItem(extension, child, context, true);
                Api::append(submenu, childEntry);
                g_object_unref(childEntry);
            }
            Api::setSubmenu(entry, submenu); // takes its own reference
            g_object_unref(submenu);
        }
        return entry;
    }

    // The direct item first; the file manager frees the list.
    static GList* toItems(MenuKind kind, std::optional<std::string> targeted,
                          std::vector<std::string> selected)
    {
        MenuExtension* extension = menuExtension(Api::kBusName);
        if (extension == nullptr) {
            return nullptr;
        }
        const auto built = extension->menu(kind, std::move(targeted), std::move(selected));
        GList* items = nullptr;
        if (built) {
            for (const MenuItem& item : built->menu.items) {
                items = g_list_prepend(items, toItem(*extension, item, built->context));
            }
        }
        return g_list_reverse(items);
    }

    static std::string uriOf(typename Api::FileInfo* file)
    {
        gchar* uri = Api::uri(file);
        std::string text = uri != nullptr ? uri : "";
        g_free(uri);
        return text;
    }

    static GList* backgroundItems(typename Api::Provider*, GtkWidget* window,
                                  typename Api::FileInfo* currentFolder)
    {
        GList* items = nullptr;
        guarded(log(), "Building the folder menu", [&] {
            const std::string uri = uriOf(currentFolder);
            noteFolder(window, uri);
            if (auto folder = localPath(uri.c_str())) {
                items = toItems(MenuKind::container, std::move(folder), {});
            }
        });
        return items;
    }

    static GList* fileItems(typename Api::Provider*, GtkWidget* window, GList* files)
    {
        GList* items = nullptr;
        guarded(log(), "Building the items menu", [&] {
            std::vector<std::string> uris;
            for (GList* node = files; node != nullptr; node = node->next) {
                uris.push_back(uriOf(static_cast<typename Api::FileInfo*>(node->data)));
            }
            noteSelection(window, uris);
            std::vector<std::string> selected;
            for (const std::string& uri : uris) {
                auto path = localPath(uri.c_str());
                if (!path) {
                    return;
                }
                selected.push_back(std::move(*path));
            }
            if (!selected.empty()) { // an empty list comes while a folder loads
                std::optional<std::string> targeted = selected.front();
                items = toItems(MenuKind::items, std::move(targeted), std::move(selected));
            }
        });
        return items;
    }

    static void initInterface(gpointer iface, gpointer)
    {
        Api::setMenuCalls(static_cast<typename Api::ProviderIface*>(iface), backgroundItems,
                          fileItems);
    }

    static inline GType s_type = 0;
    static inline std::vector<GObject*> s_instances; // the providers the file manager made
};

} // namespace tessary::gtk3

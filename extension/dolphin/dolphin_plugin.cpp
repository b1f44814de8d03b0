// Tessary's file-item plugin for Dolphin: the "New …" item and the "Tessary" submenu in the
// context menu of local folders and files, each choice handed to the host.
//
// Dolphin creates the plugin when a menu opens and asks it for actions then, on its UI
// thread; the plugin object lives as long as that one menu, so the extension object is kept
// for the whole process. A chosen item is signed and handed over on a worker thread of its
// own, so Dolphin never waits for the host. No C++ exception may leave a callback.
#include "extension/dolphin/dolphin_window.h"
#include "extension/dolphin/menu_request.h"
#include "extension/menu_extension.h"
#include "shared/localization.h"

#include <KAbstractFileItemActionPlugin>
#include <KActionMenu>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QThreadPool>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <unordered_map>

#include <dlfcn.h>

namespace tessary {
namespace {

const Logger kLog("finder-sync");

// The folder this plugin was loaded from.
std::filesystem::path pluginFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&pluginFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).parent_path();
}

// One extension object per Dolphin process, made at the first menu: the host is reached
// at this process's own bus name, where it shows the new file in this process's windows.
MenuExtension* extension()
{
    static MenuExtension* const instance = []() -> MenuExtension* {
        MenuExtension* made = nullptr;
        guarded(kLog, "Starting the extension", [&made] {
            const std::filesystem::path folder = pluginFolder();
            // The translations installed with this plugin, not those beside Dolphin.
            setLocaleDirectory((folder / TESSARY_MODULE_TO_LOCALEDIR).lexically_normal());
            const std::string busName =
                "org.kde.dolphin-" + std::to_string(QCoreApplication::applicationPid());
            made = new MenuExtension(HostHandOver(
                (folder / TESSARY_MODULE_TO_BINDIR / "tessary").lexically_normal(), busName));
        });
        return made;
    }();
    return instance;
}

// Everything after a click (the key, signing, the hand-over, starting the host) runs on this
// one thread, a click at a time in the order chosen; it is never torn down, as the plugin
// library stays loaded until Dolphin exits.
QThreadPool* clickWorker()
{
    static QThreadPool* const worker = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(1);
        pool->setExpiryTimeout(-1);
        return pool;
    }();
    return worker;
}

QString menuText(const std::string& title)
{
    // An ampersand in a template's name is shown, not taken for a keyboard accelerator.
    return QString::fromStdString(title).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// Themed icons by name, made once: an icon looks its name up in the current theme when it
// is drawn, so a kept one follows a change of theme. Used on the UI thread only.
QIcon menuIcon(const MenuItem& item)
{
    // The names are the core's constants, so their views stay valid.
    static std::unordered_map<std::string_view, QIcon> icons;
    if (!item.icon) {
        return {};
    }
    auto found = icons.find(*item.icon);
    if (found == icons.end()) {
        const QString name =
            QString::fromLatin1(item.icon->data(), static_cast<int>(item.icon->size()));
        found = icons.emplace(*item.icon, QIcon::fromTheme(name)).first;
    }
    return found->second;
}

// `item` is one of `built`'s, kept alive with it by the actions that need it later.
QAction* toAction(const MenuItem& item, const std::shared_ptr<const BuiltMenu>& built,
                  QObject* parent)
{
    if (!item.submenu.empty()) {
        auto* submenu = new KActionMenu(menuIcon(item), menuText(item.title), parent);
        // Most menus close without the submenu ever opening: its items are made when it
        // first opens, before it is shown.
        QMenu* menu = submenu->menu();
        QObject::connect(menu, &QMenu::aboutToShow, submenu, [submenu, menu, built, &item] {
            guarded(kLog, "Filling the submenu", [&] {
                if (!menu->actions().isEmpty()) {
                    return;
                }
                for (const MenuItem& child : item.submenu) {
                    submenu->addAction(toAction(child, built, submenu));
                }
            });
        });
        return submenu;
    }
    auto* action = new QAction(menuIcon(item), menuText(item.title), parent);
    if (item.action == MenuAction::createFile && item.tag) {
        const std::shared_ptr<const MenuContext>& context = built->context;
        QObject::connect(action, &QAction::triggered, action, [context, tag = *item.tag] {
            guarded(kLog, "Creating a file", [&] {
                clickWorker()->start([context, tag] {
                    guarded(kLog, "Creating a file", [&] {
                        if (const MenuExtension* menuExtension = extension()) {
                            menuExtension->createFile(tag, *context);
                        }
                    });
                });
            });
        });
    }
    return action;
}

} // namespace

class TessaryFileItemAction : public KAbstractFileItemActionPlugin {
    Q_OBJECT
public:
    TessaryFileItemAction(QObject* parent, const QVariantList&)
        : KAbstractFileItemActionPlugin(parent)
    {
    }

    QList<QAction*> actions(const KFileItemListProperties& items, QWidget* parentWidget) override
    {
        QList<QAction*> actions;
        guarded(kLog, "Building the menu", [&] {
            MenuExtension* menuExtension = extension();
            if (menuExtension == nullptr) {
                return;
            }
            std::vector<std::string> uris;
            const QList<QUrl> urls = items.urlList();
            uris.reserve(static_cast<std::size_t>(urls.size()));
            for (const QUrl& url : urls) {
                uris.push_back(url.toEncoded().toStdString());
            }
            QWidget* window =
                dolphinWindow(parentWidget != nullptr ? parentWidget : qApp->activeWindow());
            const std::string location = activeLocation(window).toEncoded().toStdString();
            kLog.debug("Menu asked for %ld items in %{public}s", static_cast<long>(uris.size()),
                       location);
            auto request = menuRequest(uris, location);
            if (!request) {
                return;
            }
            auto made =
                menuExtension->menu(request->kind, request->targeted, std::move(request->selected));
            if (!made) {
                return;
            }
            const auto built = std::make_shared<const BuiltMenu>(*std::move(made));
            for (const MenuItem& item : built->menu.items) {
                actions.append(toAction(item, built, this));
            }
        });
        return actions;
    }
};

K_PLUGIN_CLASS_WITH_JSON(TessaryFileItemAction, "tessary_fileitemaction.json")

} // namespace tessary

#include "dolphin_plugin.moc"

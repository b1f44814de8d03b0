// The module's surroundings: its own location, the click worker and the settings watch.
#include "extension/gtk3/module_support.h"

#include "shared/defaults_store.h"
#include "shared/localization.h"
#include "shared/logger.h"
#include "shared/shared_settings.h"

#include <dlfcn.h>

#include <gio/gio.h>

namespace tessary::gtk3 {
namespace {

const Logger kLog("finder-sync");

// The folder this module was loaded from.
std::filesystem::path moduleFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).parent_path();
}

struct Click {
    const MenuExtension* extension;
    std::shared_ptr<const MenuContext> context;
    std::int64_t tag;
};

void runClick(gpointer data, gpointer)
{
    const std::unique_ptr<Click> click(static_cast<Click*>(data));
    guarded(kLog, "Creating a file",
            [&] { click->extension->createFile(click->tag, *click->context); });
}

GThreadPool* clickWorker()
{
    static GThreadPool* const worker = g_thread_pool_new(runClick, nullptr, 1, TRUE, nullptr);
    return worker;
}

void settingsChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer data)
{
    // The store replaces the document by renaming a finished file over it.
    if (event == G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT || event == G_FILE_MONITOR_EVENT_CREATED ||
        event == G_FILE_MONITOR_EVENT_DELETED || event == G_FILE_MONITOR_EVENT_RENAMED ||
        event == G_FILE_MONITOR_EVENT_MOVED_IN) {
        guarded(kLog, "Rebuilding the menus",
                [data] { (*static_cast<std::function<void()>*>(data))(); });
    }
}

} // namespace

std::filesystem::path hostBinary()
{
    return (moduleFolder() / TESSARY_MODULE_TO_BINDIR / "tessary").lexically_normal();
}

void useOwnCatalogues()
{
    if (const auto folder = moduleFolder(); !folder.empty()) {
        setLocaleDirectory((folder / TESSARY_MODULE_TO_LOCALEDIR).lexically_normal());
    }
}

MenuExtension* menuExtension(const char* busName) noexcept
{
    static MenuExtension* const extension = [busName] {
        MenuExtension* made = nullptr;
        // Without the object the module offers no menu; the file manager itself goes on.
        guarded(kLog, "Starting the extension", [&] {
            made = new MenuExtension(HostHandOver(hostBinary(), busName));
            clickWorker(); // started now, so that no click waits for a thread to start
        });
        return made;
    }();
    return extension;
}

void createLater(const MenuExtension& extension, std::shared_ptr<const MenuContext> context,
                 std::int64_t tag) noexcept
{
    guarded(kLog, "Creating a file", [&] {
        g_thread_pool_push(clickWorker(), new Click{&extension, std::move(context), tag}, nullptr);
    });
}

std::optional<std::string> localPath(const char* uri)
{
    std::optional<std::string> path;
    if (uri != nullptr && isObservedUri(uri)) {
        if (gchar* local = g_filename_from_uri(uri, nullptr, nullptr)) {
            path = local;
            g_free(local);
        }
    }
    return path;
}

void watchSettings(std::function<void()> changed) noexcept
{
    guarded(kLog, "Watching the settings", [&] {
        const auto path = DefaultsStore::rootFolder() / DefaultsStore::kAppGroup / kSettingsKey;
        GFile* file = g_file_new_for_path(path.c_str());
        GFileMonitor* monitor =
            g_file_monitor_file(file, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
        g_object_unref(file);
        if (monitor == nullptr) {
            kLog.error("Cannot watch %{public}s: menus show new templates after a restart",
                       path.string());
            return;
        }
        // The monitor and its callback live as long as the process.
        g_signal_connect(monitor, "changed", G_CALLBACK(settingsChanged),
                         new std::function<void()>(std::move(changed)));
    });
}

} // namespace tessary::gtk3

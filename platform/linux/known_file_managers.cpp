// The table of file managers, the bridge calls, module states and the restart.
#include "platform/linux/known_file_managers.h"

#include "shared/bridge_interface.h"
#include "shared/logger.h"
#include "platform/linux/nautilus_file_manager.h"

#include <algorithm>
#include <fstream>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace tessary {
namespace {

const Logger kLog("finder-automation");

constexpr int kBusCallTimeoutMs = 1000;
constexpr unsigned kQuitTimeoutSeconds = 10;

// The answer of a "(b)" reply, which it frees; none without a reply.
std::optional<bool> booleanReply(GVariant* reply)
{
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean answer = FALSE;
    g_variant_get(reply, "(b)", &answer);
    g_variant_unref(reply);
    return answer != FALSE;
}

void spawn(const std::vector<std::string_view>& command)
{
    std::vector<std::string> words(command.begin(), command.end());
    std::vector<gchar*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv.data(), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                                G_SPAWN_STDERR_TO_DEV_NULL),
                       nullptr, nullptr, nullptr, &error)) {
        kLog.error("Could not start the file manager: %{public}s", error->message);
        g_error_free(error);
    }
}

// A restart under way: the old instance has been asked to quit; the new one starts once
// the old one has left the bus.
struct Restart {
    GDBusConnection* bus; // a reference of its own
    std::string name;
    std::vector<std::string_view> start;
    guint watch = 0;
    guint timeout = 0;
};

void nameVanished(GDBusConnection*, const gchar*, gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    g_source_remove(restart->timeout);
    spawn(restart->start);
    g_bus_unwatch_name(restart->watch); // frees `restart`
}

gboolean quitTimedOut(gpointer data)
{
    auto* restart = static_cast<Restart*>(data);
    kLog.error("The file manager did not quit within %u seconds", kQuitTimeoutSeconds);
    g_bus_unwatch_name(restart->watch);
    return G_SOURCE_REMOVE;
}

// The quit command has handed the quit to the running instance.
void quitSent(GPid pid, gint, gpointer data)
{
    g_spawn_close_pid(pid);
    auto* restart = static_cast<Restart*>(data);
    restart->timeout = g_timeout_add_seconds(kQuitTimeoutSeconds, quitTimedOut, restart);
    restart->watch = g_bus_watch_name_on_connection(
        restart->bus, restart->name.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr, nameVanished,
        restart, [](gpointer done) {
            auto* finished = static_cast<Restart*>(done);
            g_object_unref(finished->bus);
            delete finished;
        });
}

// The names on the bus that start with `prefix`; none without an answer.
std::vector<std::string> namesStartingWith(GDBusConnection* bus, std::string_view prefix)
{
    std::vector<std::string> names;
    g_autoptr(GVariant) reply =
        callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "ListNames", nullptr, "(as)", kBusCallTimeoutMs);
    if (reply == nullptr) {
        return names;
    }
    g_autoptr(GVariantIter) iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    const gchar* name = nullptr;
    while (g_variant_iter_next(iter, "&s", &name)) {
        if (std::string_view(name).starts_with(prefix)) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::optional<FileManagerWindow> activeWindowAt(GDBusConnection* bus, const std::string& name)
{
    const auto ask = [&](GError** error) {
        return callSync(bus, name.c_str(), kBridgePath, kBridgeInterface, "ActiveWindow", nullptr,
                        "(bsss)", BridgeFileManager::kBridgeTimeoutMs, error);
    };
    // A file manager busy for a moment (it stalls for a few hundred milliseconds while it
    // rebuilds a view or a popover) gets a second deadline before it counts as not answering.
    g_autoptr(GError) error = nullptr;
    GVariant* reply = ask(&error);
    if (reply == nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
        reply = ask(nullptr);
    }
    if (reply == nullptr) {
        return std::nullopt;
    }
    gboolean active = FALSE;
    const gchar* path = nullptr;
    const gchar* title = nullptr;
    const gchar* location = nullptr;
    g_variant_get(reply, "(b&s&s&s)", &active, &path, &title, &location);
    FileManagerWindow window{active != FALSE, path, title, location};
    g_variant_unref(reply);
    return window;
}

// The module is mapped under its real path; a replaced file shows with " (deleted)".
bool mapsModuleIn(std::uint32_t pid, const std::vector<std::filesystem::path>& folders)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t at = line.find(" /");
        if (at == std::string::npos) {
            continue;
        }
        const std::filesystem::path file = line.substr(at + 1);
        for (const std::filesystem::path& folder : folders) {
            if (file.parent_path() == folder &&
                file.filename().string().find("tessary") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

// A Tessary module in `folder`: the file managers load every module there.
bool holdsModule(const std::filesystem::path& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.find("tessary") != std::string::npos && name.ends_with(".so") &&
            entry.is_regular_file(error)) {
            return true;
        }
    }
    return false;
}

std::string nameInDesktopEntry(std::string_view entry)
{
    g_autoptr(GDesktopAppInfo) info = g_desktop_app_info_new(std::string(entry).c_str());
    return info != nullptr ? g_app_info_get_name(G_APP_INFO(info)) : std::string();
}

// The name its desktop entry gives, unless an earlier file manager's gives the same ("Files"
// for Nautilus and Nemo): then the name it is known by.
std::string displayNameOf(const FileManagerKind& kind)
{
    std::string name = nameInDesktopEntry(kind.desktopEntry);
    for (const FileManagerKind& earlier : knownFileManagerKinds()) {
        if (&earlier == &kind) {
            break;
        }
        if (!name.empty() && nameInDesktopEntry(earlier.desktopEntry) == name) {
            return std::string(kind.knownName);
        }
    }
    return name.empty() ? std::string(kind.knownName) : name;
}

} // namespace

const std::vector<FileManagerKind>& knownFileManagerKinds()
{
    static const std::vector<FileManagerKind> kinds{
        {"nautilus",
         "Files",
         "org.gnome.Nautilus.desktop",
         {"org.gnome.Nautilus"},
         "org.gnome.Nautilus",
         false,
         {TESSARY_NAUTILUS_MODULE_FOLDER},
         {"nautilus", "-q"},
         {"nautilus", "--new-window"},
         true},
        {"nemo",
         "Nemo",
         "nemo.desktop",
         {"org.Nemo", "Nemo"},
         "org.Nemo",
         false,
         {TESSARY_NEMO_MODULE_FOLDER},
         {"nemo", "-q"},
         {"nemo"},
         true},
        {"caja",
         "Caja",
         "caja.desktop",
         {"org.mate.Caja", "Caja"},
         "org.mate.Caja",
         false,
         {TESSARY_CAJA_MODULE_FOLDER},
         {"caja", "-q"},
         {"caja"},
         true},
        {"thunar",
         "Thunar",
         "thunar.desktop",
         {"org.xfce.Thunar", "Thunar"},
         "org.xfce.Thunar",
         false,
         {TESSARY_THUNAR_MODULE_FOLDER},
         {"thunar", "-q"},
         {"thunar"},
         true},
        // The menu plugin loads at the first right-click; the bridge plugin as Dolphin starts.
        {"dolphin",
         "Dolphin",
         "org.kde.dolphin.desktop",
         {"org.kde.dolphin", "dolphin"},
         "org.kde.dolphin-",
         true,
         {TESSARY_QT5_PLUGIN_FOLDER "/kf5/kfileitemaction",
          TESSARY_QT5_PLUGIN_FOLDER "/kf5/overlayicon"},
         {},
         {"dolphin", "--new-window"},
         true},
    };
    return kinds;
}

const FileManagerKind* fileManagerKindAt(std::string_view busName)
{
    for (const FileManagerKind& kind : knownFileManagerKinds()) {
        if (kind.perProcess ? busName.starts_with(kind.busName) : busName == kind.busName) {
            return &kind;
        }
    }
    return nullptr;
}

BridgeFileManager::BridgeFileManager(const FileManagerKind& kind, std::string busName)
    : m_kind(kind), m_busName(kind.perProcess ? std::move(busName) : std::string(kind.busName))
{
}

std::string BridgeFileManager::displayName() const
{
    // Read when first shown: looking desktop entries up sets GIO up, which the host
    // does not need before.
    if (m_displayName.empty()) {
        m_displayName = displayNameOf(m_kind);
    }
    return m_displayName;
}

bool BridgeFileManager::ownsWindow(const FrontApplication& front) const
{
    return std::find(m_kind.windowIds.begin(), m_kind.windowIds.end(), front.id) !=
           m_kind.windowIds.end();
}

std::vector<std::string> BridgeFileManager::namesToAsk()
{
    if (!m_busName.empty()) {
        return {m_busName};
    }
    GDBusConnection* bus = connection();
    return bus != nullptr ? namesStartingWith(bus, m_kind.busName) : std::vector<std::string>{};
}

std::optional<bool> BridgeFileManager::isRunning()
{
    GDBusConnection* bus = connection();
    if (bus == nullptr) {
        return std::nullopt;
    }
    if (m_busName.empty()) {
        return !namesToAsk().empty();
    }
    return booleanReply(callSync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", m_busName.c_str()), "(b)", kBusCallTimeoutMs));
}

std::optional<WindowLocations> BridgeFileManager::openWindowsWithLocations(FileManagerError* error)
{
    if (connection() == nullptr) {
        *error = {false, 0, "no session bus"};
        return std::nullopt;
    }
    const auto window = bridgeActiveWindow();
    if (!window) {
        if (isRunning() == true) {
            // It runs without the module: nothing tells which folder it shows.
            *error = {true, 0, "no answer from Tessary's extension"};
            return std::nullopt;
        }
        return WindowLocations{};
    }
    if (window->path.empty()) {
        return WindowLocations{};
    }
    return WindowLocations{{window->path, {window->location}}};
}

std::optional<FileManagerWindow> BridgeFileManager::bridgeActiveWindow()
{
    GDBusConnection* bus = connection();
    if (bus == nullptr) {
        return std::nullopt;
    }
    // Of several processes, the one whose window has the focus, else the first to answer.
    std::optional<FileManagerWindow> first;
    for (const std::string& name : namesToAsk()) {
        auto window = activeWindowAt(bus, name);
        if (window && window->active) {
            m_lastActive = name;
            return window;
        }
        if (!first) {
            first = std::move(window);
        }
    }
    return first;
}

std::optional<bool> BridgeFileManager::bridgeRename(const std::string& uri)
{
    GDBusConnection* bus = connection();
    if (bus == nullptr) {
        return std::nullopt;
    }
    // A bridge renames only a file that is exactly its focused window's selection.
    std::optional<bool> answer;
    for (const std::string& name : namesToAsk()) {
        const auto started =
            booleanReply(callSync(bus, name.c_str(), kBridgePath, kBridgeInterface, "Rename",
                                  g_variant_new("(s)", uri.c_str()), "(b)", kBridgeTimeoutMs));
        if (started == true) {
            return started;
        }
        if (started) {
            answer = false;
        }
    }
    return answer;
}

void BridgeFileManager::restart()
{
    GDBusConnection* bus = connection();
    if (m_kind.quit.empty() || bus == nullptr || m_busName.empty() || isRunning() != true) {
        spawn(m_kind.start);
        return;
    }
    kLog.info("Restarting the file manager so it loads the extension");
    std::vector<std::string> words(m_kind.quit.begin(), m_kind.quit.end());
    std::vector<gchar*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                 G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, &pid, &error)) {
        kLog.error("The file manager did not quit: %{public}s", error->message);
        g_error_free(error);
        return;
    }
    g_child_watch_add(
        pid, quitSent,
        new Restart{static_cast<GDBusConnection*>(g_object_ref(bus)), m_busName, m_kind.start});
}

FileManagerModule::FileManagerModule(const FileManagerKind& kind, std::filesystem::path folder)
    : m_kind(kind),
      m_folders(folder.empty() ? kind.moduleFolders : std::vector<std::filesystem::path>{folder})
{
}

FileManagerExtensionState FileManagerModule::state()
{
    FileManagerExtensionState state;
    state.installed = holdsModule(m_folders.front());
    GDBusConnection* bus = m_bus.connection();
    if (bus == nullptr) {
        return state;
    }
    std::error_code error;
    std::vector<std::filesystem::path> folders;
    for (const std::filesystem::path& folder : m_folders) {
        folders.push_back(std::filesystem::weakly_canonical(folder, error));
    }
    const std::vector<std::string> names = m_kind.perProcess
                                               ? namesStartingWith(bus, m_kind.busName)
                                               : std::vector{std::string(m_kind.busName)};
    // Of several processes, one that has it loaded is enough: that is where it works.
    for (const std::string& name : names) {
        g_autoptr(GVariant) reply =
            callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     "GetConnectionUnixProcessID", g_variant_new("(s)", name.c_str()), "(u)",
                     BridgeFileManager::kBridgeTimeoutMs);
        if (reply == nullptr) {
            continue; // no owner: the file manager does not run
        }
        guint32 pid = 0;
        g_variant_get(reply, "(u)", &pid);
        state.running = true;
        state.loaded = state.loaded || (state.installed && mapsModuleIn(pid, folders));
    }
    return state;
}

struct KnownFileManagers::Known {
    std::unique_ptr<BridgeFileManager> fileManager;
    FileManagerModule module;
};

KnownFileManagers::KnownFileManagers(std::vector<std::string_view> only,
                                     std::filesystem::path moduleFolder)
    : m_only(std::move(only))
{
    for (const FileManagerKind& kind : knownFileManagerKinds()) {
        if (!m_only.empty() && std::find(m_only.begin(), m_only.end(), kind.key) == m_only.end()) {
            continue;
        }
        auto fileManager = kind.key == "nautilus" ? std::make_unique<NautilusFileManager>()
                                                  : std::make_unique<BridgeFileManager>(kind);
        m_known.push_back(std::unique_ptr<Known>(
            new Known{std::move(fileManager), FileManagerModule(kind, moduleFolder)}));
    }
}

KnownFileManagers::~KnownFileManagers() = default;

std::vector<InstalledFileManager> KnownFileManagers::installed()
{
    std::vector<InstalledFileManager> installed;
    for (const auto& known : m_known) {
        g_autofree gchar* program =
            m_only.empty()
                ? g_find_program_in_path(std::string(known->fileManager->kind().key).c_str())
                : g_strdup("");
        if (program != nullptr) {
            installed.push_back({known->fileManager.get(), &known->module});
        }
    }
    return installed;
}

FileManager& KnownFileManagers::at(const std::string& busName)
{
    for (const auto& known : m_known) {
        const FileManagerKind& kind = known->fileManager->kind();
        if (kind.perProcess && busName.starts_with(kind.busName) && busName != kind.busName) {
            auto& process = m_processes[busName];
            if (!process) {
                process = std::make_unique<BridgeFileManager>(kind, busName);
            }
            return *process;
        }
        if (!kind.perProcess && busName == kind.busName) {
            return *known->fileManager;
        }
    }
    const auto installed = this->installed();
    return installed.empty() ? *m_known.front()->fileManager : *installed.front().fileManager;
}

FileManager* KnownFileManagers::owning(const FrontApplication& front)
{
    for (const auto& known : m_known) {
        if (known->fileManager->ownsWindow(front)) {
            const FileManagerKind& kind = known->fileManager->kind();
            if (kind.perProcess && front.pid != 0) {
                return &at(std::string(kind.busName) + std::to_string(front.pid));
            }
            return known->fileManager.get();
        }
    }
    return nullptr;
}

} // namespace tessary

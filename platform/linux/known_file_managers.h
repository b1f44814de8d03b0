// The file managers the host knows (GNOME Files, Nemo, Caja, Thunar, Dolphin), one table row
// each: how their windows are told apart on X11, the bus name where each answers (its
// FileManager1 and Tessary's bridge), where it loads modules from and how it is restarted.
// One FileManager implementation serves them all through the bridge; GNOME Files adds its
// window list (nautilus_file_manager.h).
#pragma once

#include "platform/file_manager.h"
#include "platform/linux/session_bus.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct FileManagerKind {
    std::string_view key;          // its program, on PATH when it is installed
    std::string_view knownName;    // its name where no desktop entry gives one
    std::string_view desktopEntry; // the desktop entry that names it
    // The _GTK_APPLICATION_ID or WM_CLASS class of its windows; the first is its id.
    std::vector<std::string_view> windowIds;
    // Its own bus name; with `perProcess`, what comes before the process id.
    std::string_view busName;
    bool perProcess = false; // every process has a name of its own (Dolphin)
    // Where it loads modules from; Tessary's menu module is installed into the first.
    std::vector<std::filesystem::path> moduleFolders;
    // The command that quits it; none when a new window loads modules (a new process).
    std::vector<std::string_view> quit;
    std::vector<std::string_view> start; // the command that opens a window
    // The bridge's Reveal selects in an open window rather than ShowItems, which opens a new
    // window every time (Nemo, Caja, Thunar, Dolphin) or breaks when called quickly (Files).
    bool revealsThroughBridge = false;
};

// Every known file manager, GNOME Files first.
const std::vector<FileManagerKind>& knownFileManagerKinds();
// The one answering at `busName`; none for another name.
const FileManagerKind* fileManagerKindAt(std::string_view busName);

// A file manager through its bus name and the bridge of Tessary's module inside it. No call
// starts it through D-Bus activation.
class BridgeFileManager : public FileManager {
public:
    // The bridge gets this long to answer before it counts as missing.
    static constexpr int kBridgeTimeoutMs = 250;

    // `busName`: for a file manager with a name per process, the process asked; empty: any.
    explicit BridgeFileManager(const FileManagerKind& kind, std::string busName = {});

    std::string applicationId() const override { return std::string(m_kind.windowIds.front()); }
    // For a file manager with a name per process and none given: the process whose window
    // had the focus when the bridges were asked last.
    std::string busName() const override { return m_busName.empty() ? m_lastActive : m_busName; }
    // The name its desktop entry gives, or the one it is known by.
    std::string displayName() const override;
    bool ownsWindow(const FrontApplication& front) const override;
    bool newWindowLoadsModule() const override { return m_kind.quit.empty(); }
    std::optional<bool> isRunning() override;
    // The bridge's active window, as the only window: it names its location itself.
    std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) override;
    std::optional<FileManagerWindow> bridgeActiveWindow() override;
    std::optional<bool> bridgeRename(const std::string& uri) override;
    void restart() override;

    const FileManagerKind& kind() const { return m_kind; }

protected:
    // The names to ask: its own, or every process's.
    std::vector<std::string> namesToAsk();
    GDBusConnection* connection() { return m_bus.connection(); }

private:
    const FileManagerKind& m_kind;
    mutable std::string m_displayName;
    std::string m_busName;
    std::string m_lastActive;
    SessionBus m_bus;
};

// Tessary's module in a file manager: installed in the folder it loads modules from, and
// mapped by its running process (found through the bus).
class FileManagerModule : public FileManagerExtension {
public:
    // `folder`: where the module is looked for instead of the file manager's own folders.
    explicit FileManagerModule(const FileManagerKind& kind, std::filesystem::path folder = {});

    FileManagerExtensionState state() override;
    std::filesystem::path moduleFolder() const override { return m_folders.front(); }

private:
    const FileManagerKind& m_kind;
    std::vector<std::filesystem::path> m_folders;
    SessionBus m_bus;
};

class KnownFileManagers : public FileManagers {
public:
    // `only`: the programs to consider, installed or not (all known ones, when installed,
    // by default); `moduleFolder`: where their module is looked for instead of their own.
    explicit KnownFileManagers(std::vector<std::string_view> only = {},
                               std::filesystem::path moduleFolder = {});
    ~KnownFileManagers() override;

    std::vector<InstalledFileManager> installed() override;
    FileManager& at(const std::string& busName) override;
    FileManager* owning(const FrontApplication& front) override;

private:
    struct Known;
    std::vector<std::unique_ptr<Known>> m_known;
    std::vector<std::string_view> m_only;
    // A per-process file manager's process, by bus name.
    std::map<std::string, std::unique_ptr<BridgeFileManager>, std::less<>> m_processes;
};

} // namespace tessary

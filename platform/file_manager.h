// A file manager as the host asks it about its windows: which locations each window shows
// (its tabs), and the bridge module inside it (D-Bus interface com.orvane.tessary.Bridge on
// the file manager's own bus name) that says which window has the focus and starts renaming
// a file. FileManagers is every file manager the host knows, found by a request's bus name
// or by the window in front.
#pragma once

#include "platform/file_manager_extension.h"
#include "platform/workspace.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

// A file-manager window, named by its D-Bus object path.
struct FileManagerWindow {
    bool active = false;       // it has the keyboard focus now
    std::string path;          // empty when the file manager has no window
    std::string title;         // names the folder of the window's active tab
    std::string location = {}; // the URI the active tab shows, when the file manager says
};

// Window path -> the URIs of its tabs, in tab order.
using WindowLocations = std::map<std::string, std::vector<std::string>>;

struct FileManagerError {
    bool accessDenied = false; // the bus refused the question
    int code = 0;
    std::string message;
};

class FileManager {
public:
    virtual ~FileManager() = default;

    // The application id its windows carry ("org.gnome.Nautilus"), which is also the
    // front application's id while it is in front.
    virtual std::string applicationId() const = 0;
    // The name it owns on the session bus, where its bridge answers.
    virtual std::string busName() const = 0;
    // Its name for the user ("Files", "Dolphin").
    virtual std::string displayName() const { return "Files"; }
    // Whether `front` is one of its windows.
    virtual bool ownsWindow(const FrontApplication& front) const
    {
        return front.id == applicationId();
    }

    // Whether the file manager runs (owns its bus name); none without a session bus.
    virtual std::optional<bool> isRunning() = 0;
    // Every open window with its locations; empty when the file manager does not run.
    virtual std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) = 0;
    // The bridge's window that had the focus last; none when the bridge does not answer
    // (the file manager does not run, or runs without the module).
    virtual std::optional<FileManagerWindow> bridgeActiveWindow() = 0;
    // Asks the bridge to start renaming `uri` in the focused window: whether it did; none
    // when the bridge does not answer.
    virtual std::optional<bool> bridgeRename(const std::string& uri) = 0;
    // Quits the file manager and starts it again with a window (so that it loads the
    // module); starts it when it does not run. Returns at once.
    virtual void restart() = 0;
    // Whether a new window loads the module without quitting the open ones (one process per
    // window): then restart() only opens a new window.
    virtual bool newWindowLoadsModule() const { return false; }
};

// A file manager installed here, and Tessary's module in it.
struct InstalledFileManager {
    FileManager* fileManager;
    FileManagerExtension* extension;
};

class FileManagers {
public:
    virtual ~FileManagers() = default;

    // The file managers installed here (their program is on PATH), the desktop's usual one
    // first.
    virtual std::vector<InstalledFileManager> installed() = 0;
    // The one answering at `busName` (a request's sender); the first installed one for an
    // empty or unknown name.
    virtual FileManager& at(const std::string& busName) = 0;
    // The one `front` is a window of; none when it is none of theirs.
    virtual FileManager* owning(const FrontApplication& front) = 0;
};

} // namespace tessary

// The desktop around the host: showing a file in the file manager, opening it with its
// default application, and which application is in front.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tessary {

struct FrontApplication {
    std::string id;       // e.g. "org.gnome.Nautilus"
    std::string name;     // for display
    bool desktop = false; // the desktop itself: no window is active, or the desktop's own
    // On X11, for the file manager's own use only (never logged): the D-Bus object path GTK
    // gives the active window of a GtkApplication, and the window's title.
    std::string windowPath = {};
    std::string windowTitle = {};
    // On X11, the process that owns the window (_NET_WM_PID), 0 when it does not say.
    std::uint32_t pid = 0;
};

// The file manager's application id; the one the host drives.
inline constexpr std::string_view kFileManagerId = "org.gnome.Nautilus";

class Workspace {
public:
    virtual ~Workspace() = default;

    // Shows `file` selected in the file manager that owns the bus name `fileManager`, or in
    // the desktop's file manager when it is empty. Never fails: problems are logged.
    virtual void revealAndSelect(const std::filesystem::path& file,
                                 const std::string& fileManager) = 0;
    // Opens `file` with its default application. Never fails: problems are logged.
    virtual void openWithDefaultApp(const std::filesystem::path& file) = 0;
    // Opens a URL (a web page, a file: URI) with the user's default handler for its scheme.
    // Never fails: problems are logged.
    virtual void openURL(const std::string& url) = 0;
    // The application whose window is active, or the desktop; none without a display or
    // when the window manager does not say.
    virtual std::optional<FrontApplication> frontmostApplication() = 0;
};

} // namespace tessary

// FileManager for GNOME Files: Nautilus's org.freedesktop.FileManager1 property
// OpenWindowsWithLocations, the bridge object its Tessary module exports on Nautilus's own
// bus name (org.gnome.Nautilus, /com/orvane/tessary/Bridge), and on X11 the properties GTK
// sets on the active window. No call starts Nautilus through D-Bus activation.
#pragma once

#include "platform/file_manager.h"
#include "platform/linux/session_bus.h"
#include "platform/linux/x11_display.h"

#include <memory>

namespace tessary {

class NautilusFileManager : public FileManager {
public:
    // The bridge gets this long to answer before it counts as missing.
    static constexpr int kBridgeTimeoutMs = 250;

    std::optional<bool> isRunning() override;
    std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) override;
    std::optional<FileManagerWindow> bridgeActiveWindow() override;
    std::optional<bool> bridgeRename(const std::string& uri) override;
    std::optional<FileManagerWindow> x11ActiveWindow() override;
    void restart() override;

private:
    SessionBus m_bus;
    std::unique_ptr<X11Display> m_display;
    bool m_triedDisplay = false;
};

} // namespace tessary

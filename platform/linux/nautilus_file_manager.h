// FileManager for GNOME Files: Nautilus's org.freedesktop.FileManager1 property
// OpenWindowsWithLocations, the bridge object its Tessary module exports on Nautilus's own
// bus name (org.gnome.Nautilus, /com/orvane/tessary/Bridge). No call starts Nautilus through
// D-Bus activation.
#pragma once

#include "platform/file_manager.h"
#include "platform/linux/session_bus.h"

namespace tessary {

class NautilusFileManager : public FileManager {
public:
    // The bridge gets this long to answer before it counts as missing.
    static constexpr int kBridgeTimeoutMs = 250;

    std::optional<bool> isRunning() override;
    std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) override;
    std::optional<FileManagerWindow> bridgeActiveWindow() override;
    std::optional<bool> bridgeRename(const std::string& uri) override;
    void restart() override;
    std::string applicationId() const override { return "org.gnome.Nautilus"; }
    std::string busName() const override { return "org.gnome.Nautilus"; }

private:
    SessionBus m_bus;
};

} // namespace tessary

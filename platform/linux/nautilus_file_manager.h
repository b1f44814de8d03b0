// FileManager for GNOME Files: its bridge as for every file manager, and Nautilus's
// org.freedesktop.FileManager1 property OpenWindowsWithLocations for its windows and tabs.
#pragma once

#include "platform/linux/known_file_managers.h"

namespace tessary {

class NautilusFileManager : public BridgeFileManager {
public:
    NautilusFileManager();

    std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) override;
};

} // namespace tessary

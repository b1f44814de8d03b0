// Tessary's module in the file manager: whether it is installed where the file manager
// looks for modules, and whether the running file manager has loaded it (restarting the file
// manager so that it does is FileManager::restart).
#pragma once

#include <filesystem>

namespace tessary {

struct FileManagerExtensionState {
    bool installed = false; // the module file is in the file manager's module folder
    bool running = false;   // the file manager runs now
    bool loaded = false;    // the running file manager has the module loaded
};

class FileManagerExtension {
public:
    virtual ~FileManagerExtension() = default;

    // Never fails: what cannot be found out reads as false.
    virtual FileManagerExtensionState state() = 0;
    // The folder the module must be installed into.
    virtual std::filesystem::path moduleFolder() const = 0;
};

} // namespace tessary

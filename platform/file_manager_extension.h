// Tessary's module in the file manager: whether it is installed where the file manager
// looks for modules, whether the running file manager has loaded it, and restarting the
// file manager so that it does.
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
    // Quits the file manager and starts it again with a window, without waiting for it;
    // starts it when it does not run. Problems are logged.
    virtual void restartFileManager() = 0;
};

} // namespace tessary

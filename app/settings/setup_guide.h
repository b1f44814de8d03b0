// The Setup page's rules and texts: when the file-manager extension counts as on, what its
// step says and offers, the note after a grant, and the all-set line.
#pragma once

#include "platform/file_manager_extension.h"
#include "shared/shared_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace tessary {

// Installed, and loaded by the file manager when it runs (installed counts when it does not).
bool isExtensionEnabled(const FileManagerExtensionState& state);

// Done when the module works in at least one installed file manager and none that has it
// installed runs without it.
bool isExtensionStepDone(const std::vector<FileManagerExtensionState>& states);

// What the step says for one file manager (`name`): `newWindowLoads` when a new window of it
// loads the module (a process per window) rather than a restart.
struct ExtensionStep {
    bool done = false;
    std::string detail;
    bool offersRestart = false; // "Restart Files…": the file manager runs without the module
};

ExtensionStep extensionStep(const FileManagerExtensionState& state,
                            const std::filesystem::path& moduleFolder,
                            const std::string& name = "Files", bool newWindowLoads = false);

// The step's headline, naming the file manager when only one is installed.
std::string extensionStepTitle(const std::vector<std::string>& names);
// What the button that loads the module in `name` says.
std::string restartTitle(const std::string& name, bool newWindowLoads);

// After a grant: none for the whole disk, else which folders will work.
std::optional<std::string> grantNote(const std::optional<std::string>& rootPath);

// How the granted folder is named: the startup disk's name for "/", else its path.
std::string grantedFolderName(const std::string& rootPath, const std::string& startupDiskName);

// "All set. Right-click any folder in Files and choose New …", with the shortcut when it is on.
std::string allSetText(const SharedSettings& settings);

} // namespace tessary

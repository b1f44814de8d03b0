// Setup page texts.
#include "settings/setup_guide.h"

#include "shared/localization.h"

namespace tessary {

bool isExtensionEnabled(const FileManagerExtensionState& state)
{
    return state.installed && (state.loaded || !state.running);
}

ExtensionStep extensionStep(const FileManagerExtensionState& state,
                            const std::filesystem::path& moduleFolder)
{
    if (isExtensionEnabled(state)) {
        return {true, tr("Tessary is in the right-click menu of Files."), false};
    }
    if (!state.installed) {
        return {false,
                tr("Tessary’s extension for Files is not installed where Files looks for it. "
                   "Install Tessary so the extension is in %@, then restart Files.",
                   moduleFolder.string()),
                false};
    }
    return {false,
            tr("Files has not loaded Tessary’s extension yet; restart Files once. This box "
               "ticks itself once it has."),
            true};
}

std::optional<std::string> grantNote(const std::optional<std::string>& rootPath)
{
    if (rootPath == "/") {
        return std::nullopt;
    }
    return tr("Only folders inside %@ will work. Grant access to the root folder itself to "
              "cover everything.",
              rootPath.value_or(std::string()));
}

std::string grantedFolderName(const std::string& rootPath, const std::string& startupDiskName)
{
    return rootPath == "/" ? startupDiskName : rootPath;
}

std::string allSetText(const SharedSettings& settings)
{
    const auto index = settings.defaultTemplateIndex();
    const std::string name = index ? settings.templates[*index].menuLabel() : std::string();
    if (settings.shortcutEnabled) {
        return tr("All set. Right-click any folder in Files and choose New %@, or press %@.", name,
                  settings.shortcutLabel);
    }
    return tr("All set. Right-click any folder in Files and choose New %@.", name);
}

} // namespace tessary

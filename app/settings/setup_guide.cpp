// Setup page texts.
#include "settings/setup_guide.h"

#include "shared/localization.h"

namespace tessary {

bool isExtensionEnabled(const FileManagerExtensionState& state)
{
    return state.installed && (state.loaded || !state.running);
}

bool isExtensionStepDone(const std::vector<FileManagerExtensionState>& states)
{
    bool works = false;
    for (const FileManagerExtensionState& state : states) {
        if (state.installed && state.running && !state.loaded) {
            return false;
        }
        works = works || isExtensionEnabled(state);
    }
    return works;
}

ExtensionStep extensionStep(const FileManagerExtensionState& state,
                            const std::filesystem::path& moduleFolder, const std::string& name,
                            bool newWindowLoads)
{
    if (isExtensionEnabled(state)) {
        return {true, tr("Tessary is in the right-click menu of %@.", name), false};
    }
    if (!state.installed) {
        return {false,
                newWindowLoads
                    ? tr("Tessary’s extension for %1$s is not installed where %1$s looks for "
                         "it. Install Tessary so the extension is in %2$s, then open a new %1$s "
                         "window.",
                         name, moduleFolder.string())
                    : tr("Tessary’s extension for %1$s is not installed where %1$s looks for "
                         "it. Install Tessary so the extension is in %2$s, then restart %1$s.",
                         name, moduleFolder.string()),
                false};
    }
    return {false,
            newWindowLoads ? tr("%1$s has not loaded Tessary’s extension yet; open a new %1$s "
                                "window. This box ticks itself once it has.",
                                name)
                           : tr("%1$s has not loaded Tessary’s extension yet; restart %1$s once. "
                                "This box ticks itself once it has.",
                                name),
            true};
}

std::string extensionStepTitle(const std::vector<std::string>& names)
{
    return names.size() == 1 ? tr("Turn on the %@ extension", names.front())
                             : tr("Turn on the extension in your file managers");
}

std::string restartTitle(const std::string& name, bool newWindowLoads)
{
    return newWindowLoads ? tr("New %@ Window", name) : tr("Restart %@…", name);
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

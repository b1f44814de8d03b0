// Label and file-name checks with their texts.
#include "settings/template_validation.h"

#include "shared/localization.h"

namespace tessary {

std::optional<std::string> labelWarning(const FileTemplate& fileTemplate)
{
    if (!fileTemplate.hasBlankLabel()) {
        return std::nullopt;
    }
    return tr("Give the template a menu label; Files shows the file name until you do.");
}

std::optional<std::string> fileNameWarning(const FileTemplate& fileTemplate)
{
    if (isUsableNameComponent(fileTemplate.baseName) &&
        (fileTemplate.fileExtension.empty() || isUsableNameComponent(fileTemplate.fileExtension))) {
        return std::nullopt;
    }
    return tr("The file name can't be empty, “.” or “..”, and neither the name nor the extension "
              "can contain “/” or “:”.");
}

} // namespace tessary

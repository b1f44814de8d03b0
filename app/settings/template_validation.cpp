// Label and file-name checks with their texts.
#include "settings/template_validation.h"

#include "shared/localization.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>

namespace tessary {

std::optional<std::string> labelWarning(const FileTemplate& fileTemplate)
{
    const QList<uint> points = QString::fromStdString(fileTemplate.name).toUcs4();
    const auto blank = [](uint point) {
        return point == '\t' || QChar::category(char32_t(point)) == QChar::Separator_Space;
    };
    if (!std::all_of(points.begin(), points.end(), blank)) {
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

// The template editor's two warnings. They never block an edit: whatever the fields hold is
// saved, and an unusable name only matters when a file is created.
#pragma once

#include "shared/file_template.h"

#include <optional>
#include <string>

namespace tessary {

// When the label is blank (FileTemplate::hasBlankLabel).
std::optional<std::string> labelWarning(const FileTemplate& fileTemplate);
// When the base name, or a non-empty extension, is not a usable name component.
std::optional<std::string> fileNameWarning(const FileTemplate& fileTemplate);

} // namespace tessary

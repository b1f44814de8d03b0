// The catalogue of common file types the Templates page offers to add, and the rule that
// tells whether one of them is already among the user's templates.
#pragma once

#include "shared/file_template.h"

#include <vector>

namespace tessary {

// Thirteen entries in menu order, names in the current language. Built once per process, so
// their ids are stable for its lifetime; adding an entry copies it under a new id.
const std::vector<FileTemplate>& recommendedTemplates();

// True when a template has the entry's extension, compared after Unicode lower-casing.
bool isAlreadyAdded(const FileTemplate& entry, const std::vector<FileTemplate>& templates);

} // namespace tessary

// Builds the context menu from the shared settings: one direct item for the default template
// and, with two or more templates, a "Tessary" submenu listing all of them.
#pragma once

#include "shared/file_template.h"
#include "extension/menu_model.h"
#include "shared/shared_settings.h"

#include <optional>
#include <string>

namespace tessary {

inline constexpr std::string_view kNewFileSymbol = "doc.badge.plus";
inline constexpr std::string_view kSubmenuSymbol = "doc.on.doc";

// None when there are no templates. Each template item is tagged with its index in
// settings.templates.
std::optional<Menu> buildMenu(const SharedSettings& settings);

} // namespace tessary

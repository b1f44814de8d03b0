// Builds the context menu from the shared settings: one direct item for the default template
// and, with two or more templates, a "Tessary" submenu listing all of them.
#pragma once

#include "shared/file_template.h"
#include "extension/menu_model.h"
#include "shared/shared_settings.h"

#include <memory>
#include <optional>
#include <string>

namespace tessary {

inline constexpr std::string_view kNewFileSymbol = "doc.badge.plus";
inline constexpr std::string_view kSubmenuSymbol = "doc.on.doc";

// None when there are no templates. Each template item is tagged with its index in
// settings.templates.
std::optional<Menu> buildMenu(const SharedSettings& settings);

// The menu of the settings last given, built again only for other settings or when the
// translations of its own titles changed (another locale). Not thread-safe.
class MenuCache {
public:
    // As buildMenu(); null when there are no templates.
    std::shared_ptr<const Menu> menu(const std::shared_ptr<const SharedSettings>& settings);

private:
    std::shared_ptr<const SharedSettings> m_settings;
    std::string m_titles; // the translated titles the menu was built with
    std::shared_ptr<const Menu> m_menu;
};

} // namespace tessary

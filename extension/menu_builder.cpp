// Menu titles and the menu built from the shared settings.
#include "extension/menu_builder.h"

#include "shared/localization.h"
#include "shared/menu_icons.h"
#include "shared/template_symbols.h"

namespace tessary {
namespace {

MenuItem templateItem(std::string title, std::size_t index, std::string_view symbol)
{
    return MenuItem{
        .title = std::move(title),
        .tag = static_cast<std::int64_t>(index),
        .action = MenuAction::createFile,
        .image = symbol,
        .icon = menuIcon(symbol),
        .submenu = {},
    };
}

} // namespace

std::optional<Menu> buildMenu(const SharedSettings& settings)
{
    Menu menu;
    if (const auto index = settings.defaultTemplateIndex()) {
        menu.items.push_back(templateItem(tr("New %@", settings.templates[*index].menuLabel()),
                                          *index, kNewFileSymbol));
    }
    if (settings.templates.size() > 1) {
        MenuItem parent{
            .title = tr("Tessary"),
            .tag = std::nullopt,
            .action = MenuAction::none,
            .image = kSubmenuSymbol,
            .icon = menuIcon(kSubmenuSymbol),
            .submenu = {},
        };
        parent.submenu.reserve(settings.templates.size());
        for (std::size_t i = 0; i < settings.templates.size(); ++i) {
            const FileTemplate& fileTemplate = settings.templates[i];
            parent.submenu.push_back(
                templateItem(fileTemplate.menuLabel(), i, symbolName(fileTemplate.fileExtension)));
        }
        menu.items.push_back(std::move(parent));
    }
    if (menu.items.empty()) {
        return std::nullopt;
    }
    return menu;
}

} // namespace tessary

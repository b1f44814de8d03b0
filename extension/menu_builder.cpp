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

// The texts a menu takes from the translations, as one.
struct Titles {
    std::string newFile = tr("New %@");
    std::string submenu = tr("Tessary");

    std::string joined() const { return newFile + '\0' + submenu; }
};

std::optional<Menu> buildMenu(const SharedSettings& settings, const Titles& titles)
{
    Menu menu;
    if (const auto index = settings.defaultTemplateIndex()) {
        menu.items.push_back(
            templateItem(format(titles.newFile, settings.templates[*index].menuLabel()), *index,
                         kNewFileSymbol));
    }
    if (settings.templates.size() > 1) {
        MenuItem parent{
            .title = titles.submenu,
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

} // namespace

std::optional<Menu> buildMenu(const SharedSettings& settings)
{
    return buildMenu(settings, Titles());
}

std::shared_ptr<const Menu> MenuCache::menu(const std::shared_ptr<const SharedSettings>& settings)
{
    const Titles titles;
    std::string joined = titles.joined();
    if (m_settings && (settings == m_settings || *settings == *m_settings) && joined == m_titles) {
        m_settings = settings;
        return m_menu;
    }
    auto built = buildMenu(*settings, titles);
    m_menu = built ? std::make_shared<const Menu>(*std::move(built)) : nullptr;
    m_settings = settings;
    m_titles = std::move(joined);
    return m_menu;
}

} // namespace tessary

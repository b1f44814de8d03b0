// Menu titles and the menu built from the shared settings.
#include "extension/menu_builder.h"

#include "shared/localization.h"
#include "shared/menu_icons.h"
#include "shared/template_symbols.h"

namespace tessary {
namespace {

// Length of the blank (tab or space separator, general category Zs) that `text` starts or
// ends with, or 0. Line breaks are not blanks: a name is one line, and a break is kept.
std::size_t leadingBlank(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    if (text[0] == ' ' || text[0] == '\t') {
        return 1;
    }
    // The multi-byte space separators: U+00A0, U+1680, U+2000–U+200A, U+202F, U+205F, U+3000.
    static constexpr std::string_view kWide[] = {
        "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005",
        "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u202F", "\u205F", "\u3000"};
    for (const std::string_view blank : kWide) {
        if (text.starts_with(blank)) {
            return blank.size();
        }
    }
    return 0;
}

std::size_t trailingBlank(std::string_view text)
{
    // A blank is one to three bytes; try each ending that could be one.
    for (std::size_t size = 1; size <= 3 && size <= text.size(); ++size) {
        const std::string_view tail = text.substr(text.size() - size);
        if (leadingBlank(tail) == size) {
            return size;
        }
    }
    return 0;
}

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

std::string menuTitle(const FileTemplate& fileTemplate)
{
    std::string_view name = fileTemplate.name;
    while (const std::size_t size = leadingBlank(name)) {
        name.remove_prefix(size);
    }
    while (const std::size_t size = trailingBlank(name)) {
        name.remove_suffix(size);
    }
    if (!name.empty()) {
        return std::string(name);
    }
    return fileTemplate.fileName();
}

std::optional<Menu> buildMenu(const SharedSettings& settings)
{
    Menu menu;
    if (const auto index = settings.defaultTemplateIndex()) {
        menu.items.push_back(templateItem(tr("New %@", menuTitle(settings.templates[*index])),
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
                templateItem(menuTitle(fileTemplate), i, symbolName(fileTemplate.fileExtension)));
        }
        menu.items.push_back(std::move(parent));
    }
    if (menu.items.empty()) {
        return std::nullopt;
    }
    return menu;
}

} // namespace tessary

// Menu titles, the shapes of the built menu and the icon of every symbol the menu shows.
#include "menu_builder.h"
#include "menu_icons.h"
#include "template_symbols.h"

#include "extension_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace tessary {
namespace {

TEST(MenuTitle, TrimsBlanksAndFallsBackToTheFileName)
{
    struct Row {
        const char* name;
        const char* extension;
        const char* title;
    };
    const Row rows[] = {
        {"Notes", "txt", "Notes"},
        {"  Notes\t", "txt", "Notes"},
        {" Meeting  notes ", "md", "Meeting  notes"},
        {"\u00A0Report\u3000", "txt", "Report"}, // no-break and ideographic spaces
        {"Café ", "txt", "Café"},
        {"   ", "txt", "untitled.txt"},
        {"\t", "", "untitled"},
        {"", "", "untitled"},
        {"Two\nlines ", "txt", "Two\nlines"}, // line breaks are not blanks
    };
    for (const Row& row : rows) {
        EXPECT_EQ(menuTitle(test::makeTemplate(row.name, "untitled", row.extension)), row.title)
            << '"' << row.name << '"';
    }
}

struct Shape {
    std::string direct;                                   // "" for no menu
    std::int64_t directTag = 0;                           //
    std::vector<std::pair<std::string, std::string>> sub; // title and symbol, in tag order
};

Shape shapeOf(const std::optional<Menu>& menu)
{
    Shape shape;
    if (!menu) {
        return shape;
    }
    EXPECT_TRUE(menu->title.empty());
    EXPECT_LE(menu->items.size(), 2u);
    const MenuItem& direct = menu->items.front();
    shape.direct = direct.title;
    shape.directTag = direct.tag.value_or(-1);
    EXPECT_EQ(direct.action, MenuAction::createFile);
    EXPECT_EQ(direct.image, kNewFileSymbol);
    EXPECT_EQ(direct.icon, "document-new-symbolic");
    EXPECT_TRUE(direct.submenu.empty());
    if (menu->items.size() == 2) {
        const MenuItem& parent = menu->items[1];
        EXPECT_EQ(parent.title, "Tessary");
        EXPECT_FALSE(parent.tag);
        EXPECT_EQ(parent.action, MenuAction::none);
        EXPECT_EQ(parent.image, kSubmenuSymbol);
        EXPECT_EQ(parent.icon, "edit-copy-symbolic");
        for (std::size_t i = 0; i < parent.submenu.size(); ++i) {
            const MenuItem& item = parent.submenu[i];
            EXPECT_EQ(item.tag, static_cast<std::int64_t>(i));
            EXPECT_EQ(item.action, MenuAction::createFile);
            EXPECT_EQ(item.icon, menuIcon(item.image));
            EXPECT_TRUE(item.submenu.empty());
            shape.sub.emplace_back(item.title, std::string(item.image));
        }
    }
    return shape;
}

TEST(BuildMenu, HasTheShapeOfTheTemplateList)
{
    const auto notes = test::makeTemplate("Notes", "notes", "txt");
    const auto readme = test::makeTemplate("  Readme ", "README", "md");
    const auto script = test::makeTemplate("", "run", "sh");
    const auto stale = Uuid::random();
    struct Row {
        const char* label;
        std::vector<FileTemplate> templates;
        std::optional<Uuid> defaultID;
        Shape expected;
    };
    const std::vector<Row> rows = {
        {"no templates", {}, std::nullopt, {}},
        {"one template", {notes}, notes.id, {"New Notes", 0, {}}},
        {"three, the second the default",
         {notes, readme, script},
         readme.id,
         {"New Readme",
          1,
          {{"Notes", "doc.text"}, {"Readme", "doc.richtext"}, {"run.sh", "terminal"}}}},
        {"a default id no template has",
         {readme, script},
         stale,
         {"New Readme", 0, {{"Readme", "doc.richtext"}, {"run.sh", "terminal"}}}},
        {"no default id",
         {script, notes},
         std::nullopt,
         {"New run.sh", 0, {{"run.sh", "terminal"}, {"Notes", "doc.text"}}}},
    };
    for (const Row& row : rows) {
        SharedSettings settings;
        settings.templates = row.templates;
        settings.defaultTemplateID = row.defaultID;
        const Shape shape = shapeOf(buildMenu(settings));
        EXPECT_EQ(shape.direct, row.expected.direct) << row.label;
        EXPECT_EQ(shape.directTag, row.expected.directTag) << row.label;
        EXPECT_EQ(shape.sub, row.expected.sub) << row.label;
    }
}

TEST(MenuIcons, EverySymbolTheMenuShowsHasAnIconOfTheTheme)
{
    std::set<std::string_view> symbols = {"doc", kNewFileSymbol, kSubmenuSymbol};
    for (const SymbolGroup& group : extensionSymbolGroups()) {
        symbols.insert(group.symbol);
    }
    // The MIME fallback's symbols, by one type of each kind.
    for (const char* type : {"text/x-swift", "image/png", "video/mp4", "application/pdf",
                             "application/x-executable", "text/calendar", "font/ttf"}) {
        symbols.insert(symbolForContentType(type));
    }
    for (const std::string_view symbol : symbols) {
        EXPECT_TRUE(menuIcon(symbol)) << symbol;
    }
    std::set<std::string_view> tabled;
    for (const SymbolIcon& entry : symbolIcons()) {
        EXPECT_TRUE(tabled.insert(entry.symbol).second) << "twice: " << entry.symbol;
    }
    EXPECT_FALSE(menuIcon("no.such.symbol"));

    const std::filesystem::path theme = "/usr/share/icons/Adwaita/scalable";
    if (!std::filesystem::is_directory(theme)) {
        GTEST_SKIP() << "the Adwaita icon theme is not installed";
    }
    std::set<std::string> installed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(theme)) {
        installed.insert(entry.path().stem().string());
    }
    for (const SymbolIcon& entry : symbolIcons()) {
        EXPECT_TRUE(installed.contains(std::string(entry.icon))) << entry.icon;
    }
}

} // namespace
} // namespace tessary

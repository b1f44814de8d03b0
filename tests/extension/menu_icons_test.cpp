// The symbols the menu shows: each extension listed once in the authored table, and every
// symbol, the MIME fallback's included, with an icon of the installed theme.
#include "extension/menu_builder.h"
#include "shared/menu_icons.h"
#include "shared/template_symbols.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace tessary {
namespace {

TEST(MenuIcons, EachExtensionHasOneSymbolAndEverySymbolAnIconOfTheTheme)
{
    std::set<std::string_view> symbols = {"doc", kNewFileSymbol, kSubmenuSymbol};
    std::map<std::string, std::string_view> owner;
    for (const SymbolGroup& group : extensionSymbolGroups()) {
        symbols.insert(group.symbol);
        std::istringstream words{std::string(group.extensions)};
        for (std::string ext; words >> ext;) {
            const auto [it, inserted] = owner.emplace(ext, group.symbol);
            EXPECT_TRUE(inserted) << ext << " is in " << it->second << " and " << group.symbol;
            EXPECT_EQ(ext.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ. "), std::string::npos) << ext;
        }
    }
    // An extension is looked up as the user may type it, and unknown ones through MIME.
    EXPECT_EQ(symbolName(" .MD "), symbolName("md"));
    EXPECT_NE(symbolName("md"), "doc");
    EXPECT_EQ(symbolName("PCX"), symbolForContentType("image/vnd.zbrush.pcx"));
    // The MIME fallback's symbols, by one type of each kind.
    for (const char* type : {"text/x-swift", "image/png", "video/mp4", "application/pdf",
                             "application/x-executable", "text/calendar", "font/ttf"}) {
        symbols.insert(symbolForContentType(type));
    }
    std::set<std::string> installed;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator("/usr/share/icons/Adwaita/scalable")) {
        installed.insert(entry.path().stem().string());
    }
    for (const std::string_view symbol : symbols) {
        const auto icon = menuIcon(symbol);
        EXPECT_TRUE(icon && installed.contains(std::string(*icon))) << symbol;
    }
}

} // namespace
} // namespace tessary

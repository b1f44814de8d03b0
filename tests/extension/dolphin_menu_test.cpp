// Dolphin's menus: the view's own folder is the background, anything else the items; only
// local files get a menu.
#include "extension/dolphin/menu_request.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(DolphinMenuRequest, TellsTheBackgroundFromItemsInLocalFoldersOnly)
{
    using enum MenuKind;
    using Paths = std::vector<std::string>;
    const std::string view = "file:///home/u/A%20B";
    const struct {
        std::vector<std::string> items;
        std::optional<MenuKind> kind; // none: no menu
        Paths selected;
    } rows[] = {
        {{view}, container, {}},
        {{view + "/"}, container, {}},
        {{"file:///home/u/A%20B/C"}, items, {"/home/u/A B/C"}},
        {{view, "file:///home/u/A%20B/C"}, items, {"/home/u/A B", "/home/u/A B/C"}},
        {{}, {}, {}},
        {{"trash:/x"}, {}, {}},
        {{"recentlyused:/files/x"}, {}, {}},
        {{"file:///home/u/x", "sftp://h/x"}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.items.empty() ? "(none)" : row.items.front());
        const auto request = menuRequest(row.items, view);
        ASSERT_EQ(request.has_value(), row.kind.has_value());
        if (request) {
            EXPECT_EQ(request->kind, *row.kind);
            EXPECT_EQ(request->selected, row.selected);
            EXPECT_EQ(request->targeted,
                      row.kind == container ? "/home/u/A B" : row.selected.front());
        }
    }
    // A folder item with no view location known is an item, never the background.
    EXPECT_EQ(menuRequest({view}, "")->kind, items);
}

} // namespace
} // namespace tessary

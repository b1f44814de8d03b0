// Which menu Dolphin asks for, and with which paths. Dolphin asks its file-item plugins for
// the menu of the folder's background with one item: the folder the view shows. A folder
// right-clicked inside the view is one item too, so the two are told apart by comparing
// the item with the view's own location. No Qt here: the rule is plain data.
#pragma once

#include "extension/menu_extension.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct MenuRequest {
    MenuKind kind = MenuKind::items;
    std::optional<std::string> targeted; // local path
    std::vector<std::string> selected;   // local paths, first one first
};

// `itemUris`: the encoded URIs of the items Dolphin passed; `viewUri`: the location of the
// active view in the window the menu belongs to (empty when unknown). None unless every item
// is a local file (no menu in the trash, recent files, search or remote places).
std::optional<MenuRequest> menuRequest(const std::vector<std::string>& itemUris,
                                       std::string_view viewUri);

} // namespace tessary

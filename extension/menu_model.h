// The file-manager menu as plain data: what the extension offers for one right-click, before
// any toolkit turns it into widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

enum class MenuAction { none, createFile };

struct MenuItem {
    std::string title;
    std::optional<std::int64_t> tag; // template index; none on the submenu's parent
    MenuAction action = MenuAction::none;
    std::string_view image;               // symbol name
    std::optional<std::string_view> icon; // freedesktop icon name for `image`, if any
    std::vector<MenuItem> submenu;

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct Menu {
    std::string title; // always empty for the context menu itself
    std::vector<MenuItem> items;

    friend bool operator==(const Menu&, const Menu&) = default;
};

} // namespace tessary

// Freedesktop icon names for the symbol names the file manager's menu and the settings
// window use. The file manager draws these symbolic icons in the theme's text colour; the
// settings window tints them itself.
#pragma once

#include <optional>
#include <string_view>

namespace tessary {

struct SymbolIcon {
    std::string_view symbol;
    std::string_view icon; // an Adwaita "-symbolic" icon
};

// None for a symbol without an icon: its item is shown without one.
std::optional<std::string_view> menuIcon(std::string_view symbol);

} // namespace tessary

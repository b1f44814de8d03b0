// Icons for symbol names: the freedesktop icon the symbol table names, from the icon theme,
// or a bundled one when the theme lacks it, so no icon is ever blank. Symbolic icons are
// tinted, so they follow a light or dark palette.
#pragma once

#include <QColor>
#include <QIcon>

#include <string_view>

namespace tessary {

// In `tint`, or in the application palette's text colour when `tint` is invalid.
QIcon symbolIcon(std::string_view symbol, const QColor& tint = QColor());

// The application's own icon, as installed with it.
QIcon applicationIcon();

} // namespace tessary

// What the plugins read from a Dolphin window, through KDE's public widget classes and Qt's
// object tree only (Dolphin installs no headers of its own).
#pragma once

#include <QUrl>

class QWidget;

namespace tessary {

// The Dolphin main window `widget` belongs to; null for any other window.
QWidget* dolphinWindow(QWidget* widget);

// The location of the window's active view: its visible, active location bar (in a split
// view only the active side's is active; other tabs' bars are hidden), without a trailing
// slash. Empty when none.
QUrl activeLocation(QWidget* window);

} // namespace tessary

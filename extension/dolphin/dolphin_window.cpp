// Dolphin's windows seen through their widgets.
#include "extension/dolphin/dolphin_window.h"

#include <KUrlNavigator>
#include <QWidget>

namespace tessary {

QWidget* dolphinWindow(QWidget* widget)
{
    QWidget* window = widget != nullptr ? widget->window() : nullptr;
    return window != nullptr && window->inherits("DolphinMainWindow") ? window : nullptr;
}

QUrl activeLocation(QWidget* window)
{
    if (window == nullptr) {
        return {};
    }
    const auto navigators = window->findChildren<KUrlNavigator*>();
    for (const KUrlNavigator* navigator : navigators) {
        if (navigator->isVisible() && navigator->isActive()) {
            return navigator->locationUrl().adjusted(QUrl::StripTrailingSlash);
        }
    }
    return {};
}

} // namespace tessary

// The rule, and its application to the running QApplication.
#include "ui/desktop_style.h"

#include "platform/linux/gnome_color_scheme.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <cstdlib>

namespace tessary {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// XDG_CURRENT_DESKTOP is a colon-separated list: "ubuntu:GNOME", "GNOME-Classic:GNOME".
bool namesGnome(std::string_view desktops)
{
    while (!desktops.empty()) {
        const std::size_t end = std::min(desktops.find(':'), desktops.size());
        if (equalIgnoringCase(desktops.substr(0, end), "GNOME")) {
            return true;
        }
        desktops.remove_prefix(std::min(end + 1, desktops.size()));
    }
    return false;
}

bool installed(const std::vector<std::string>& styles, std::string_view name)
{
    return std::any_of(styles.begin(), styles.end(),
                       [&](const std::string& style) { return equalIgnoringCase(style, name); });
}

std::vector<std::string> installedStyles()
{
    std::vector<std::string> styles;
    for (const QString& key : QStyleFactory::keys()) {
        styles.push_back(key.toStdString());
    }
    return styles;
}

} // namespace

std::string styleForDesktop(std::string_view currentDesktop, std::string_view colorScheme,
                            const std::vector<std::string>& styles)
{
    if (!namesGnome(currentDesktop) || !installed(styles, "Adwaita")) {
        return {};
    }
    return colorScheme == "prefer-dark" && installed(styles, "Adwaita-Dark") ? "Adwaita-Dark"
                                                                             : "Adwaita";
}

DesktopStyle::DesktopStyle()
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop == nullptr || !namesGnome(desktop)) {
        return; // Qt's own choice; nothing to follow
    }
    m_scheme = std::make_unique<GnomeColorScheme>();
    m_scheme->onChange = [this] {
        apply();
    };
    apply();
}

DesktopStyle::~DesktopStyle() = default;

void DesktopStyle::apply()
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string name =
        styleForDesktop(desktop != nullptr ? desktop : "", m_scheme->scheme(), installedStyles());
    if (name.empty() || QApplication::style()->name().compare(QString::fromStdString(name),
                                                              Qt::CaseInsensitive) == 0) {
        return;
    }
    if (QStyle* style = QStyleFactory::create(QString::fromStdString(name))) {
        QApplication::setStyle(style);
        // The style's own colours: the dark variant is dark only with its palette.
        QApplication::setPalette(style->standardPalette());
    }
}

} // namespace tessary

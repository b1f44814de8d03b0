// The widget style that makes the windows look at home: on GNOME the Adwaita style (its dark
// variant when the user prefers dark), following a change of that preference while the
// host runs; elsewhere Qt's own choice (Breeze on KDE). Without the Adwaita style installed
// the windows keep Qt's choice.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

class GnomeColorScheme;

// The style to set for a session whose XDG_CURRENT_DESKTOP is `currentDesktop`, whose GNOME
// colour scheme is `colorScheme`, given the installed `styles` (as Qt names them); empty for
// Qt's own choice.
std::string styleForDesktop(std::string_view currentDesktop, std::string_view colorScheme,
                            const std::vector<std::string>& styles);

// Sets the chosen style on the application while it lives, and again when the scheme changes.
class DesktopStyle {
public:
    DesktopStyle();
    ~DesktopStyle();

private:
    void apply();

    std::unique_ptr<GnomeColorScheme> m_scheme;
};

} // namespace tessary

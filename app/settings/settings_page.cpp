// Page names, persistence and the opening rules.
#include "settings/settings_page.h"

#include "shared/localization.h"

#include <algorithm>

namespace tessary {

std::string_view rawValue(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return "general";
    case SettingsPage::templates:
        return "templates";
    case SettingsPage::setup:
        return "setup";
    }
    return "general";
}

std::optional<SettingsPage> settingsPageFromRaw(std::string_view raw)
{
    for (const SettingsPage page : kSidebarPages) {
        if (rawValue(page) == raw) {
            return page;
        }
    }
    return std::nullopt;
}

std::string pageTitle(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return tr("General");
    case SettingsPage::templates:
        return tr("Templates");
    case SettingsPage::setup:
        return tr("Setup");
    }
    return {};
}

std::string_view pageSymbol(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return "gearshape";
    case SettingsPage::templates:
        return "doc.on.doc";
    case SettingsPage::setup:
        return "checkmark.shield";
    }
    return "doc";
}

bool isWidthCapped(SettingsPage page)
{
    return page != SettingsPage::templates;
}

SettingsPage storedPage(const DefaultsStore& defaults)
{
    const auto raw = defaults.string(kSettingsPaneKey);
    return raw ? settingsPageFromRaw(*raw).value_or(SettingsPage::general) : SettingsPage::general;
}

void storePage(const DefaultsStore& defaults, SettingsPage page)
{
    // The page is a convenience: failing to remember it changes nothing else.
    static_cast<void>(defaults.setString(kSettingsPaneKey, rawValue(page)));
}

SettingsPage initialPage(SettingsPage stored, bool extensionEnabled, bool hasDiskAccess)
{
    return extensionEnabled && hasDiskAccess ? stored : SettingsPage::setup;
}

int readableMargin(int width)
{
    return std::max((width - kReadableWidth) / 2, kMinimumMargin);
}

} // namespace tessary

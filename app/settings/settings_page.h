// The pages of the settings window, the page it opens on, and the readable-width rule of
// the General and Setup pages.
#pragma once

#include "shared/defaults_store.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

enum class SettingsPage { general, templates, setup };

// The host-domain key that remembers the selected page, as its raw value.
inline constexpr std::string_view kSettingsPaneKey = "settingsPane";

// Sidebar order: Templates alone, then the "Settings" group.
inline constexpr std::array<SettingsPage, 3> kSidebarPages = {
    SettingsPage::templates, SettingsPage::general, SettingsPage::setup};

std::string_view rawValue(SettingsPage page);
std::optional<SettingsPage> settingsPageFromRaw(std::string_view raw);
std::string pageTitle(SettingsPage page);
std::string_view pageSymbol(SettingsPage page);
// General and Setup are held to a readable width; Templates uses all the width there is.
bool isWidthCapped(SettingsPage page);

// The stored page; General when none is stored or the value names no page.
SettingsPage storedPage(const DefaultsStore& defaults);
void storePage(const DefaultsStore& defaults, SettingsPage page);

// The page the window opens on: Setup while the extension is off or no folder is granted,
// else the stored one.
SettingsPage initialPage(SettingsPage stored, bool extensionEnabled, bool hasDiskAccess);

inline constexpr int kReadableWidth = 680;
inline constexpr int kMinimumMargin = 20;
// The side margin that centres content of at most kReadableWidth in `width`.
int readableMargin(int width);

} // namespace tessary

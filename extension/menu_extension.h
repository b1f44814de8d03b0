// The extension object the file manager keeps for the life of its process: it builds the
// context menu for each right-click and turns a chosen item into a create request for the
// host.
//
// The file manager may build a menu long before the user opens it (Nautilus does so on
// every selection change), so a built menu comes with the context of its build: the menu
// kind, the targeted and selected paths and the settings it was built from. Choosing an
// item runs createFile() with that context, and its tag is resolved against those
// settings, whatever was built since.
#pragma once

#include "extension/host_hand_over.h"
#include "extension/menu_builder.h"
#include "shared/logger.h"
#include "extension/menu_model.h"
#include "shared/shared_settings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

// The file manager's kinds of menu request, with their raw values.
enum class MenuKind : unsigned long { items = 0, container = 1 };

struct MenuContext {
    MenuKind kind = MenuKind::container;
    std::optional<std::string> targeted; // path of the folder or item right-clicked
    std::vector<std::string> selected;   // paths of the selected items, first one first
    std::shared_ptr<const SharedSettings> settings;
};

struct BuiltMenu {
    Menu menu;
    std::shared_ptr<const MenuContext> context; // what createFile() needs for its items
};

// The folder holding `path`: its last component removed ("/" stays "/").
std::string containingFolder(const std::string& path);

// Only local folders get a menu: the file manager's search, recent files, trash and remote
// locations are not places the host can create a file in.
bool isObservedUri(std::string_view uri);

class MenuExtension {
public:
    explicit MenuExtension(HostHandOver handOver);

    // None when there are no templates. Records the kind and reloads the settings first (read
    // and decoded only when the stored document changed, the menu built only then).
    std::optional<BuiltMenu> menu(MenuKind kind, std::optional<std::string> targeted,
                                  std::vector<std::string> selected);

    // The context of the most recent build, for callers that choose an item outside any
    // built menu: the last menu kind and settings with the given paths.
    MenuContext currentContext(std::optional<std::string> targeted,
                               std::vector<std::string> selected) const;

    // The action of every template item. Returns the request URL when it was handed to the
    // host; every failure is logged and gives none.
    std::optional<std::string> createFile(std::int64_t tag, const MenuContext& context) const;

    // The folder the user meant, from the context's kind and paths; none if there is none.
    std::optional<std::string> targetDirectory(const MenuContext& context) const;

private:
    Logger m_logger;
    SettingsCache m_settingsCache;
    MenuCache m_menuCache;
    std::shared_ptr<const SharedSettings> m_settings;
    MenuKind m_lastMenuKind;
    HostHandOver m_handOver;
};

} // namespace tessary

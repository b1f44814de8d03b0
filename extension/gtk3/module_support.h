// What every GTK 3 file manager's module needs around the menu model: where the host and the
// catalogues are (relative to the module's own file), the worker that hands a chosen item to
// the host off the UI thread, and a watch on the settings document so that menus built ahead
// of time can be rebuilt when the template list changes.
#pragma once

#include "extension/menu_extension.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessary::gtk3 {

// The host binary installed with this module.
std::filesystem::path hostBinary();

// Uses the translations installed with this module, not those beside the file manager.
void useOwnCatalogues();

// The module's one extension object, made on first use for the file manager `busName` and
// kept for the life of the process (the file manager never unloads a module that registered
// types). Null when it could not be made.
MenuExtension* menuExtension(const char* busName) noexcept;

// Queues the create action of item `tag` with its build's context: the key, signing and the
// hand-over run on one worker thread, a click at a time in the order chosen, so the UI
// thread never waits for the host and no two clicks start a host each.
void createLater(const MenuExtension& extension, std::shared_ptr<const MenuContext> context,
                 std::int64_t tag) noexcept;

// The local path of a URI, or none for every location that is not a local folder or file
// (trash, recent files, network, search).
std::optional<std::string> localPath(const char* uri);

// Calls `changed` on the UI thread whenever the stored settings document is replaced.
void watchSettings(std::function<void()> changed) noexcept;

} // namespace tessary::gtk3

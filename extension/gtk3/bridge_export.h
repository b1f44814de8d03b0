// Exports the bridge object (shared/bridge_interface.h) on the running file manager's own
// session-bus connection, so that it answers at the file manager's bus name. The answers
// come from the module, on the file manager's UI thread (the connection dispatches method
// calls in the main context).
#pragma once

#include <functional>
#include <string>

#include <glib.h>

namespace tessary::gtk3 {

struct BridgeAnswers {
    std::function<GVariant*()> activeWindow;     // (b active, s windowPath, s title, s location)
    std::function<bool(const char* uri)> rename; // started
    std::function<bool(const char* uri)> reveal; // shown
};

// Exports the object once the application `applicationId` is registered on the bus; does
// nothing when the module was loaded by any other program. Never throws.
void exportBridge(const char* applicationId, BridgeAnswers answers) noexcept;

// (false, "", "", ""): no window.
GVariant* noActiveWindow();

// Whether two URIs name the same file.
bool sameFile(const std::string& first, const char* second);

} // namespace tessary::gtk3

// A small D-Bus object inside the file manager that answers what no outside program can ask
// on Wayland: which of its windows has the focus, and starting the rename of the file the
// host just created. It lives on Nautilus's own session-bus connection (bus name
// org.gnome.Nautilus), path /com/orvane/tessary/Bridge, interface com.orvane.tessary.Bridge:
//   ActiveWindow() -> (b active, s windowPath, s title, s location)
// where location is the URI the window's active tab shows (empty when it cannot be read).
//   Rename(s uri) -> (b started)
//   Reveal(s uri) -> (b shown): selects the file in a window whose active tab shows its
//   folder, without the new location change Nautilus's ShowItems would start.
// Everything runs on Nautilus's UI thread, changes nothing but what the calls ask for (the
// window's own rename action, a view's selection), and does nothing in any application
// other than Nautilus.
#pragma once

typedef struct _GList GList;

namespace tessary {

// Exports the object once the application is registered on the bus; nothing happens when
// the module was loaded by any other program. Never throws.
void startBridge() noexcept;

// Records the selection Nautilus just built the items menu for (the list of
// NautilusFileInfo from get_file_items), so Rename acts only on a file the user sees
// selected. Never throws.
void noteSelection(GList* files) noexcept;

} // namespace tessary

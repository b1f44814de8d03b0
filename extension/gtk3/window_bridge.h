// The bridge for file managers that tell a module nothing about their windows but the
// window each menu is built for (Nemo, Caja): the module records, per window, the folder of
// its last background menu (built on every folder load and tab switch) and the selection of
// its last items menu (built on every selection change), and answers from those.
//   ActiveWindow: the focused window (else the one focused last), its folder as location.
//   Rename: F2 in the focused window, when its recorded selection is exactly that file.
//   Reveal: selects the file in a window that shows its folder, the focused one first, when
//   the file manager gives the module a way to (`SelectIn`); else false.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tessary::gtk3 {

// Selects the file `uri` in `window`'s view; whether it did.
using SelectIn = bool (*)(GtkWidget* window, const char* uri);

// Exports the bridge on the application `applicationId`'s connection. Never throws.
void startWindowBridge(const char* applicationId, SelectIn selectIn = nullptr) noexcept;

// The window's view now shows `uri`. Never throws.
void noteFolder(GtkWidget* window, const std::string& uri) noexcept;

// The window's selection is now `uris`. Never throws.
void noteSelection(GtkWidget* window, const std::vector<std::string>& uris) noexcept;

} // namespace tessary::gtk3

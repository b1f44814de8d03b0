// The global shortcut on GNOME without the GlobalShortcuts portal (GNOME 43 on Wayland): a
// custom keybinding of GNOME's media-keys settings whose command hands the press to the
// running host. GNOME keeps the binding when the host quits, so the command also starts the
// host when none runs, and removing the registration removes exactly Tessary's own entry.
#pragma once

#include "platform/global_shortcut.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GSettings GSettings;

namespace tessary {

// The texts of a GSettings key that holds a list of strings, such as custom-keybindings.
std::vector<std::string> stringList(GSettings* settings, const char* key);

// The modifiers and key of a GTK accelerator, for comparing two of them.
struct Accelerator {
    unsigned modifiers = 0;
    std::string key; // lower case

    friend bool operator==(const Accelerator&, const Accelerator&) = default;
};

// "<Control><Alt>n", "<Primary><Alt>N", "<Ctrl><Mod1>n" all give the same; none for an
// empty text, "disabled" or a malformed one.
std::optional<Accelerator> parseAccelerator(std::string_view text);

class GnomeKeybinding : public GlobalShortcut {
public:
    // The path of Tessary's entry in the custom-keybindings list.
    static constexpr const char* kEntryPath =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/tessary/";

    // `command` runs for each press, e.g. "/usr/libexec/tessary/tessary-shortcut".
    explicit GnomeKeybinding(std::string command);

    // Whether GNOME's media-keys settings are installed, so a binding would be seen.
    static bool available();

    // `inUse` when the window manager, the shell, mutter or another media-keys binding
    // already uses the accelerator; `failed` with kShortcutNotStored when the settings refuse
    // a write (read back after a sync), with kShortcutUnavailable when the command is not
    // UTF-8.
    ShortcutRegistration bind(const ShortcutKeys& keys);
    // Answers at once, with bind()'s outcome.
    void add(const ShortcutKeys& keys, Done done) override { done(bind(keys)); }
    // Touches the settings only when Tessary's entry is listed.
    void remove() override;

private:
    std::string m_command;
};

} // namespace tessary

// One system-wide keyboard shortcut: registered with whatever the session offers for it,
// reporting a combination another program holds, and calling back for each press.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessary {

struct ShortcutKeys {
    std::uint32_t keysym = 0; // X keysym of the key, lower case for letters
    std::string keyName;      // its keysym name: "n", "Return"
    std::string accelerator;  // the whole shortcut as a GTK accelerator: "<Control><Alt>n"
    bool control = false;
    bool alt = false;
    bool shift = false;
    bool super = false;
};

// Statuses a registration reports besides the X protocol's error codes.
inline constexpr int kShortcutTaken = 10;       // the X protocol's BadAccess; any service
inline constexpr int kShortcutUnavailable = -1; // nothing in this session can register one
inline constexpr int kShortcutNotAnswered = -2; // the service did not answer in time

struct ShortcutRegistration {
    enum class Outcome { registered, inUse, failed };
    Outcome outcome = Outcome::failed;
    int status = kShortcutUnavailable;
};

class GlobalShortcut {
public:
    virtual ~GlobalShortcut() = default;

    // Registers the shortcut. The caller removes an earlier one first.
    virtual ShortcutRegistration add(const ShortcutKeys& keys) = 0;
    // Removes this program's registration, also one left by an earlier run where the
    // service keeps it; nothing when there is none.
    virtual void remove() = 0;

    // Runs on the main thread for each press the service delivers to this process. Set
    // once, before the first registration.
    std::function<void()> onPress;
};

} // namespace tessary

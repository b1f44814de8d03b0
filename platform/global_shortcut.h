// One system-wide keyboard shortcut: registered with whatever the session offers for it,
// reporting a combination another program holds, and calling back for each press.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessary {

struct ShortcutKeys {
    std::uint32_t keysym = 0; // X keysym of the key on a US layout, lower case for letters
    std::string keyName;      // its keysym name: "n", "Return"
    std::string accelerator;  // the whole shortcut as a GTK accelerator: "<Control><Alt>n"
    bool control = false;
    bool alt = false;
    bool shift = false;
    bool super = false;
    std::uint32_t xKeyCode = 0; // the key's position as X numbers it; 0: find it by keysym
};

// Statuses a registration reports besides the X protocol's error codes.
inline constexpr int kShortcutTaken = 10;       // the X protocol's BadAccess; any service
inline constexpr int kShortcutUnavailable = -1; // nothing in this session can register one
inline constexpr int kShortcutNotAnswered = -2; // the service did not answer in time
inline constexpr int kShortcutNotStored = -4;   // the service's settings could not be written
inline constexpr int kShortcutNotBound = -5;    // the service bound no key to the shortcut

struct ShortcutRegistration {
    enum class Outcome { registered, inUse, failed };
    Outcome outcome = Outcome::failed;
    int status = kShortcutUnavailable;
    std::string trigger = {}; // registered: the keys the service bound, when it chose them
};

class GlobalShortcut {
public:
    virtual ~GlobalShortcut() = default;

    using Done = std::function<void(const ShortcutRegistration&)>;

    // Registers the shortcut and reports the outcome to `done` once: before returning when
    // the service answers at once, later from the main loop when it asks elsewhere. The
    // caller removes an earlier registration first.
    virtual void add(const ShortcutKeys& keys, Done done) = 0;
    // Removes this program's registration, also one left by an earlier run where the
    // service keeps it; nothing when there is none. A registration still waiting for its
    // answer ends without calling its `done`.
    virtual void remove() = 0;

    // Runs on the main thread for each press the service delivers to this process. Set
    // once, before the first registration.
    std::function<void()> onPress;
    // Runs on the main thread when the service binds the shortcut to other keys later (the
    // user changed them in the desktop's settings); empty when it binds none any more.
    std::function<void(const std::string& trigger)> onChange;
};

} // namespace tessary

// The system-wide shortcut that creates the default template's file in the folder the
// file manager shows, while the file manager is in front. Holds the process's one
// registration: registering again always removes the old one first, and the press handler
// is installed once.
#pragma once

#include "filemanager/front_folder_query.h"
#include "platform/global_shortcut.h"
#include "creation/request_handler.h"
#include "creation/request_queue.h"
#include "shared/shared_settings.h"
#include "user_prompts.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace tessary {

// The service's form of a stored shortcut; none for a key the table does not know.
std::optional<ShortcutKeys> shortcutKeys(std::uint32_t modifiers, std::uint32_t keyCode);

class HotKey {
public:
    class RegistrationError : public std::runtime_error {
    public:
        enum class Case { inUse, failed };

        static RegistrationError inUse(const std::string& label);
        static RegistrationError failed(int status);
        static RegistrationError notBound();

        Case kind() const { return m_case; }
        int status() const { return m_status; }

    private:
        RegistrationError(Case kind, int status, const std::string& description);

        Case m_case;
        int m_status;
    };

    HotKey(GlobalShortcut& service, FrontFolderQuery& frontFolder, RequestHandler& requests,
           RequestQueue& queue, UserPrompts& prompts);
    // Ends the registration: a service that outlives the host (GNOME's keybinding) would
    // otherwise start it again on the next press after Quit.
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // Removes the current registration, then registers the settings' shortcut when it is
    // switched on; nothing when the switch and the shortcut are those registered (or being
    // registered) already. Throws RegistrationError when the service fails at once; a
    // service that answers later (the portal) leaves isRegistering() true until then, and
    // its answer is logged and reported to onRegistrationChanged. A failed change leaves no
    // shortcut active.
    void registerShortcut(const SharedSettings& settings);
    bool isRegistered() const { return m_state == State::registered; }
    bool isRegistering() const { return m_state == State::registering; }
    // Why the last registration failed, when it did.
    const std::optional<RegistrationError>& failure() const { return m_failure; }
    // The keys the service bound, when it chose them itself ("CTRL+ALT+n"); else empty.
    const std::string& boundTrigger() const { return m_trigger; }
    // Runs on the main thread when a registration's late answer or a change the service
    // reports has arrived.
    std::function<void()> onRegistrationChanged;

    // A press, from the service or handed over by `tessary --shortcut`: handled in turn
    // with the requests, so it waits while a request's prompt is on screen.
    void pressed();
    // One press: creates the default template's file in the front folder when the file
    // manager is in front; beeps when its window shows no folder; an alert for other
    // failures. Never throws.
    void handlePress();

private:
    enum class State { off, registering, registered, failed };
    struct Wanted {
        bool enabled = false;
        std::uint32_t modifiers = 0;
        std::uint32_t keyCode = 0;
        friend bool operator==(const Wanted&, const Wanted&) = default;
    };

    void answered(const ShortcutRegistration& result, const std::string& label);
    void changed(const std::string& trigger);

    GlobalShortcut& m_service;
    FrontFolderQuery& m_frontFolder;
    RequestHandler& m_requests;
    RequestQueue& m_queue;
    UserPrompts& m_prompts;
    State m_state = State::off;
    std::optional<Wanted> m_wanted; // what was asked for last
    std::optional<RegistrationError> m_failure;
    std::string m_trigger;
    bool m_handlerInstalled = false;
    bool m_adding = false; // inside the service's add(): its answer came at once
};

} // namespace tessary

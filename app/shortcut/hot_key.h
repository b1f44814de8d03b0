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

        Case kind() const { return m_case; }
        int status() const { return m_status; }

    private:
        RegistrationError(Case kind, int status, const std::string& description);

        Case m_case;
        int m_status;
    };

    HotKey(GlobalShortcut& service, FrontFolderQuery& frontFolder, RequestHandler& requests,
           RequestQueue& queue, UserPrompts& prompts);

    // Removes the current registration, then registers the settings' shortcut when it is
    // switched on. Throws RegistrationError; a failed change leaves no shortcut active.
    void registerShortcut(const SharedSettings& settings);
    bool isRegistered() const { return m_registered; }

    // A press, from the service or handed over by `tessary --shortcut`: handled in turn
    // with the requests, so it waits while a request's prompt is on screen.
    void pressed();
    // One press: creates the default template's file in the front folder when the file
    // manager is in front; beeps when its window shows no folder; an alert for other
    // failures. Never throws.
    void handlePress();

private:
    GlobalShortcut& m_service;
    FrontFolderQuery& m_frontFolder;
    RequestHandler& m_requests;
    RequestQueue& m_queue;
    UserPrompts& m_prompts;
    bool m_registered = false;
    bool m_handlerInstalled = false;
};

} // namespace tessary

// What the host asks or tells the user: alerts and the folder panel. The logic talks to
// this interface; the Qt Widgets implementation shows real dialogs, the console one writes
// to stderr, and tests answer through their own responder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

struct AlertRequest {
    std::string messageText;          // the bold first line
    std::string informativeText;      // the explanation below it
    std::vector<std::string> buttons; // in order; the first is the default
    std::size_t cancelButton = 0;     // the answer when nobody can be asked
    bool bringForward = true;         // raise and activate it, taking the focus
};

struct FolderPanelRequest {
    std::string message;
    std::string prompt; // the confirm button's title
    std::filesystem::path startIn;
    bool bringForward = true; // raise and activate it, taking the focus
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // Runs the alert modally, brought to the front when it asks for that; returns the index
    // of the chosen button.
    virtual std::size_t runAlert(const AlertRequest& alert) = 0;
    // A modal panel that chooses one existing folder; none when cancelled.
    virtual std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest& panel) = 0;
    // The system's alert sound.
    virtual void beep() = 0;

    // An informational alert with the one button "OK"; returns when it is pressed.
    void showAlert(const std::string& title, const std::string& message);
};

} // namespace tessary

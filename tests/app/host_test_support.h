// Test support for the host's logic: a responder that answers prompts from a script and
// records what was asked, and services wired with it.
#pragma once

#include "host_services.h"
#include "user_prompts.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessary::test {

class ScriptedPrompts : public UserPrompts {
public:
    // Answers, in order, for the alerts (a button index) and panels (a folder or none).
    std::deque<std::size_t> alertAnswers;
    std::deque<std::optional<std::filesystem::path>> panelAnswers;

    std::vector<AlertRequest> alerts;
    std::vector<FolderPanelRequest> panels;
    int beeps = 0;

    std::size_t runAlert(const AlertRequest& alert) override
    {
        alerts.push_back(alert);
        if (alertAnswers.empty()) {
            return alert.cancelButton;
        }
        const std::size_t answer = alertAnswers.front();
        alertAnswers.pop_front();
        return answer;
    }
    void beep() override { ++beeps; }
    std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest& panel) override
    {
        panels.push_back(panel);
        if (panelAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = panelAnswers.front();
        panelAnswers.pop_front();
        return answer;
    }
};

} // namespace tessary::test

// The user and the desktop as the host meets them, for tests of the host's logic: the
// application in front; each beep counted; each alert recorded, `whileOpen` run inside the next
// one (as the alert's own event loop delivers whatever arrives meanwhile), and answered with
// `button` (without one, its cancel button); `folder` chosen in the next folder chooser (without
// one, it is cancelled); each address opened recorded.
#pragma once

#include "platform/workspace.h"
#include "user_prompts.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessary::test {

struct FakeDesktop : UserPrompts, Workspace {
    std::optional<FrontApplication> front;
    std::optional<std::size_t> button;
    std::optional<std::filesystem::path> folder;
    std::function<void()> whileOpen;
    std::vector<AlertRequest> alerts;
    std::vector<std::string> opened;
    std::size_t beeps = 0;

    void beep() override { ++beeps; }
    std::size_t runAlert(const AlertRequest& alert) override
    {
        alerts.push_back(alert);
        if (const auto work = std::exchange(whileOpen, {})) {
            work();
        }
        return button.value_or(alert.cancelButton);
    }
    std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest&) override
    {
        return std::exchange(folder, std::nullopt);
    }
    void revealAndSelect(const std::filesystem::path&, const std::string&) override {}
    void openWithDefaultApp(const std::filesystem::path&) override {}
    void openURL(const std::string& url) override { opened.push_back(url); }
    std::optional<FrontApplication> frontmostApplication() override { return front; }
};

} // namespace tessary::test

// The login item as an XDG autostart entry:
// $XDG_CONFIG_HOME/autostart/com.orvane.tessary.desktop, read by GNOME, KDE and systemd.
#pragma once

#include "platform/login_items.h"

#include <filesystem>
#include <string>

namespace tessary {

class AutostartLoginItems : public LoginItemService {
public:
    // `command` starts the host; by default "tessary" when that is what PATH finds, else
    // the absolute path of the running program (worked out only when registering).
    explicit AutostartLoginItems(std::string command = {});

    void registerApp() override;
    void unregisterApp() override;
    LoginItemStatus status() override;

    static std::filesystem::path entryPath();

private:
    std::string m_command;
};

} // namespace tessary

// The host's command line:
//   tessary [--activate] [--file-manager NAME] [--login] [URL...]
//                                              run as the instance, or hand URLs to it
//   tessary --shortcut                         hand a press of the global shortcut to it
//   tessary new [--template INDEX] [DIR]       create a file here, print its path
//   tessary grant DIR | tessary forget         store or drop the folder grant
//   tessary check-updates                      read the release feed, print the result
//   tessary --help | --version
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

struct CommandLine {
    enum class Mode { host, create, grant, forget, checkUpdates, help, version, invalid };

    Mode mode = Mode::host;
    std::vector<std::string> urls;             // host mode
    bool login = false;                        // started by the autostart entry
    bool activate = false;                     // bring the host to the front
    bool shortcut = false;                     // the global shortcut was pressed
    std::string fileManager;                   // bus name of the file manager that asked
    std::optional<std::int64_t> templateIndex; // new
    std::string directory;                     // new, grant
    std::string error;                         // invalid
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The usage text for --help.
std::string usageText();

} // namespace tessary

// Fixtures for the extension's tests: private configuration and runtime folders, stored
// templates, a stand-in host listening on the host channel, and a stand-in host program.
#pragma once

#include "test_support.h"

#include "file_template.h"
#include "host_channel.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessary::test {

// Every extension test runs with private configuration, runtime and scratch folders.
using ExtensionTest = ConfigFolderTest;

FileTemplate makeTemplate(std::string name, std::string baseName = "untitled",
                          std::string extension = "txt");

// Saves a settings document holding `templates`, with the one at `defaultIndex` as default.
void storeTemplates(const std::vector<FileTemplate>& templates,
                    std::optional<std::size_t> defaultIndex = std::nullopt,
                    bool diskAccess = false);

// Listens where the host does and takes one message, answering `reply`.
class StandInHost {
public:
    explicit StandInHost(std::string reply = "ok\n");
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    // The message received, once the connection has been served.
    std::optional<HostMessage> message();

private:
    int m_listener = -1;
    std::string m_line;
    std::thread m_thread;
};

// Writes an executable at `path` that records its arguments, one a line, in "<path>.args".
void writeStandInProgram(const std::filesystem::path& path);

// The arguments the stand-in program was started with, waiting up to `timeout` for them.
std::optional<std::vector<std::string>>
standInArguments(const std::filesystem::path& program,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace tessary::test

// Helpers for the integration tests that run inside with-desktop.sh: starting the stand-in
// programs, reading their event logs, waiting with a deadline, driving the window manager
// through xdotool, and reading what this process logs while it runs.
#pragma once

#include "processes.h"
#include "test_support.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace tessary::test {

// Turns the default GLib main context (where GDBus delivers asynchronous replies).
void pumpGlib();

// One line of a stand-in's log: when (CLOCK_MONOTONIC, as Clock) and what.
struct LoggedEvent {
    Clock::time_point time;
    std::string text;
};

class EventLogFile {
public:
    explicit EventLogFile(std::filesystem::path path) : m_path(std::move(path)) {}

    const std::filesystem::path& path() const { return m_path; }
    std::vector<LoggedEvent> events() const;
    // The texts of the events starting with `prefix`, in order.
    std::vector<std::string> texts(std::string_view prefix = {}) const;
    std::optional<LoggedEvent> find(std::string_view text) const;
    // Waits until an event whose text is exactly `text` was logged.
    bool waitFor(std::string_view text, const std::function<void()>& pump = {}) const;

private:
    std::filesystem::path m_path;
};

// A test program with an event log that announced "ready".
class StandInProgram {
public:
    // Both are empty when the program did not get ready before the deadline (the test fails).
    StandInProgram(const std::string& program, const std::filesystem::path& log,
                   std::vector<std::string> options);

    bool ready() const { return m_ready; }
    const EventLogFile& log() const { return m_log; }
    // The id of its window, from its "window <id>" line; 0 without one.
    std::uint32_t windowId() const;
    int stop() { return m_process.stop(); }

private:
    EventLogFile m_log;
    ChildProcess m_process;
    bool m_ready = false;
};

struct StandInOptions {
    bool window = true;
    bool refuse = false;
};

// The stand-in file manager (org.freedesktop.FileManager1, a "Files" window), logging to
// folder/file-manager.log.
class FileManagerStandIn : public StandInProgram {
public:
    explicit FileManagerStandIn(const std::filesystem::path& folder, StandInOptions options = {});
};

// Another application's window, logging to folder/logName; `options` as other_window takes
// them.
class OtherWindow : public StandInProgram {
public:
    explicit OtherWindow(const std::filesystem::path& folder, std::vector<std::string> options = {},
                         const std::string& logName = "other-window.log");
};

// The window named by _NET_ACTIVE_WINDOW on the root window; 0 for none or no display.
std::uint32_t activeWindow();
// Asks the window manager to activate the program's window, again until it is active and
// has the keyboard focus (by its own log); true when it is before the deadline.
bool activateWindow(const StandInProgram& program);
// Presses and releases `key` (an xdotool key name) on the focused window.
bool typeKey(std::string_view key);

// Sets (or with nullopt, removes) an environment variable until destroyed.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// Sends this process's stderr (where the logger writes under TESSARY_LOG=stderr) to a file
// that can be read while the test runs; on destruction restores stderr and copies the text
// there, so it shows up in the test's output.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string text() const;
    std::vector<std::string> lines() const;
    // Lines from the logger ("LEVEL com.orvane.tessary[category] message") for `category`.
    std::vector<std::string> logLines(std::string_view category) const;

private:
    std::filesystem::path m_file;
    int m_savedStderr = -1;
};

} // namespace tessary::test

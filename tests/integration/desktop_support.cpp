// Processes, event logs, deadlines and stderr capture for the integration tests.
#include "desktop_support.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace tessary::test {
namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

void pumpGlib()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

std::vector<LoggedEvent> EventLogFile::events() const
{
    std::vector<LoggedEvent> events;
    for (const std::string& line : splitLines(readFile(m_path))) {
        const std::size_t space = line.find(' ');
        long long microseconds = 0;
        if (space == std::string::npos ||
            std::from_chars(line.data(), line.data() + space, microseconds).ec != std::errc()) {
            continue;
        }
        events.push_back(
            {Clock::time_point(std::chrono::microseconds(microseconds)), line.substr(space + 1)});
    }
    return events;
}

std::vector<std::string> EventLogFile::texts(std::string_view prefix) const
{
    std::vector<std::string> texts;
    for (LoggedEvent& event : events()) {
        if (event.text.starts_with(prefix)) {
            texts.push_back(std::move(event.text));
        }
    }
    return texts;
}

std::optional<LoggedEvent> EventLogFile::find(std::string_view text) const
{
    for (LoggedEvent& event : events()) {
        if (event.text == text) {
            return std::move(event);
        }
    }
    return std::nullopt;
}

bool EventLogFile::waitFor(std::string_view text, const std::function<void()>& pump) const
{
    return waitUntil([&] { return find(text).has_value(); }, kDeadline, pump);
}

StandInProgram::StandInProgram(const std::string& program, const std::filesystem::path& log,
                               std::vector<std::string> options)
    : m_log(log), m_process(program, [&] {
          options.insert(options.begin(), log.string());
          return options;
      }())
{
    m_ready = waitUntil([&] { return m_log.find("ready").has_value() || !m_process.running(); }) &&
              m_process.running();
    if (!m_ready) {
        std::cerr << program << (m_process.running() ? " is not ready" : " ended") << "; its log:\n"
                  << readFile(log);
    }
}

std::uint32_t StandInProgram::windowId() const
{
    for (const std::string& text : m_log.texts("window ")) {
        return static_cast<std::uint32_t>(std::stoul(text.substr(7)));
    }
    return 0;
}

namespace {

std::vector<std::string> fileManagerOptions(StandInOptions options)
{
    std::vector<std::string> arguments;
    if (options.window) {
        arguments.emplace_back("--window");
    }
    if (options.refuse) {
        arguments.emplace_back("--refuse");
    }
    return arguments;
}

} // namespace

FileManagerStandIn::FileManagerStandIn(const std::filesystem::path& folder, StandInOptions options)
    : StandInProgram(TESSARY_STANDIN_FILE_MANAGER, folder / "file-manager.log",
                     fileManagerOptions(options))
{
}

OtherWindow::OtherWindow(const std::filesystem::path& folder, std::vector<std::string> options,
                         const std::string& logName)
    : StandInProgram(TESSARY_OTHER_WINDOW, folder / logName, std::move(options))
{
}

std::uint32_t activeWindow()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    std::uint32_t window = 0;
    if (xcb_connection_has_error(connection) == 0) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber; ++i) {
            xcb_screen_next(&screens);
        }
        const char name[] = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
        if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* reply =
                xcb_get_property_reply(connection,
                                       xcb_get_property(connection, 0, screens.data->root,
                                                        atom->atom, XCB_ATOM_WINDOW, 0, 1),
                                       nullptr);
            if (reply != nullptr && xcb_get_property_value_length(reply) == 4) {
                std::memcpy(&window, xcb_get_property_value(reply), sizeof window);
            }
            std::free(reply);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return window;
}

bool activateWindow(const StandInProgram& program)
{
    // openbox may give the focus to a window it has just mapped after our request, or drop a
    // request that comes too early: ask again until the window has it.
    constexpr std::chrono::milliseconds kAttempt{1'000};
    const std::uint32_t window = program.windowId();
    const auto focused = [&] {
        const std::vector<std::string> focus = program.log().texts("Focus");
        return activeWindow() == window && !focus.empty() && focus.back() == "FocusIn";
    };
    const auto deadline = Clock::now() + kDeadline;
    while (Clock::now() < deadline) {
        if (runProgram("timeout", {"2", "xdotool", "windowactivate", std::to_string(window)}) ==
                0 &&
            waitUntil(focused, kAttempt)) {
            return true;
        }
    }
    return false;
}

bool typeKey(std::string_view key)
{
    return runProgram("xdotool", {"key", "--clearmodifiers", std::string(key)}) == 0;
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : m_name(std::move(name))
{
    if (const char* previous = std::getenv(m_name.c_str())) {
        m_previous = previous;
    }
    if (value) {
        ::setenv(m_name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous) {
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

StderrCapture::StderrCapture()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessary-stderr-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "mkstemp");
    }
    m_file = pattern;
    std::cerr.flush();
    m_savedStderr = ::dup(STDERR_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
}

StderrCapture::~StderrCapture()
{
    std::cerr.flush();
    ::dup2(m_savedStderr, STDERR_FILENO);
    ::close(m_savedStderr);
    std::cerr << text();
    std::error_code ignored;
    std::filesystem::remove(m_file, ignored);
}

std::string StderrCapture::text() const
{
    return readFile(m_file);
}

std::vector<std::string> StderrCapture::lines() const
{
    return splitLines(text());
}

std::vector<std::string> StderrCapture::logLines(std::string_view category) const
{
    const std::string marker = "com.orvane.tessary[" + std::string(category) + "] ";
    std::vector<std::string> found;
    for (std::string& line : lines()) {
        if (line.find(marker) != std::string::npos) {
            found.push_back(std::move(line));
        }
    }
    return found;
}

} // namespace tessary::test

// Real programs for the tests that run on a private desktop (with-desktop.sh): a window of
// xev's that logs the keys it receives, and the file manager's D-Bus interface served by
// python3-dbusmock with its call log.
#pragma once

#include "test_support.h"

namespace tessary::test {

// A top-level window made by xev, logging the keys it receives, with the
// _GTK_APPLICATION_ID `appId`.
struct KeyLoggingWindow {
    KeyLoggingWindow(const std::string& title, const std::string& appId)
        : m_log(m_folder.path() / "xev.log"),
          m_xev("xev", {"-event", "keyboard", "-name", title}, m_log)
    {
        // xev starts with "Outer window is 0x400001, inner window is 0x400002".
        std::string text;
        EXPECT_TRUE(waitUntil([&] { return (text = readFile(m_log)).find(", inner") != npos; }));
        m_id = text.substr(text.find("0x"), text.find(", inner") - text.find("0x"));
        EXPECT_EQ(runProgram("xprop", {"-id", m_id, "-f", "_GTK_APPLICATION_ID", "8u", "-set",
                                       "_GTK_APPLICATION_ID", appId}),
                  0);
    }

    // Puts the window in front; asks again while the window manager is not managing it yet.
    bool activate() const
    {
        return waitUntil([&] {
            // xdotool's complaints while the window manager catches up stay out of the logs
            // that tests capture from stderr.
            return runProgram("timeout", {"2", "xdotool", "windowactivate", "--sync", m_id},
                              "/dev/null") == 0;
        });
    }
    const std::string& id() const { return m_id; }
    // The keys received so far: "+F2 -F2 " for a press and a release of F2.
    std::string keys() const
    {
        // "KeyPress event, serial 25, ..." and, two lines below, "... (keysym 0xffbf, F2), ...".
        std::string keys;
        char kind = 0;
        std::istringstream text(readFile(m_log));
        for (std::string line; std::getline(text, line);) {
            if (line.starts_with("KeyPress event") || line.starts_with("KeyRelease event")) {
                kind = line[3] == 'P' ? '+' : '-';
            } else if (const std::size_t at = line.find("(keysym "); kind != 0 && at != npos) {
                const std::size_t name = line.find(", ", at) + 2;
                keys += kind + line.substr(name, line.find(')', name) - name) + " ";
                kind = 0;
            }
        }
        return keys;
    }

    static constexpr auto npos = std::string::npos;
    TemporaryFolder m_folder;
    fs::path m_log;
    ChildProcess m_xev;
    std::string m_id;
};

// org.freedesktop.FileManager1 on the session bus, answering ShowItems or, with `refuse`,
// failing it; at `name`, a file manager's own bus name, with Tessary's bridge object there.
class FileManagerMock {
public:
    FileManagerMock(const fs::path& folder, bool refuse, const std::string& name = kName)
        : m_folder(folder), m_name(name), m_log(folder / "file-manager.log"),
          m_mock("/usr/bin/python3",
                 {"-m", "dbusmock", "--session", name, kPath, kName, "-l", m_log.string()},
                 folder / "dbusmock.txt")
    {
        EXPECT_EQ(runProgram("gdbus", {"wait", "--session", "--timeout", "20", name}), 0);
        call(kPath, {"AddMethod", kName, "ShowItems", "ass", "",
                     refuse ? "raise dbus.exceptions.DBusException('refused', "
                              "name='org.freedesktop.DBus.Error.Failed')"
                            : ""});
        if (name != kName) {
            call(kPath, {"AddObject", kBridgePath, kBridgeInterface, "{}", "[]"});
        }
    }

    // Makes the bridge's `method` (in `in`, out `out`) run the Python `code`.
    void answer(const char* method, const char* in, const char* out, const std::string& code)
    {
        call(kBridgePath, {"AddMethod", kBridgeInterface, method, in, out, code});
    }

    // The URI of each ShowItems call so far: its log has "<time> ShowItems ["<URI>"] """.
    std::vector<std::string> shownUris() const
    {
        std::vector<std::string> uris;
        std::istringstream text(readFile(m_log));
        for (std::string line; std::getline(text, line);) {
            if (const std::size_t at = line.find(" ShowItems [\""); at != std::string::npos) {
                uris.push_back(line.substr(at + 13, line.find('"', at + 13) - at - 13));
            }
        }
        return uris;
    }

    static constexpr const char* kName = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";
    static constexpr const char* kBridgePath = "/com/orvane/tessary/Bridge";
    static constexpr const char* kBridgeInterface = "com.orvane.tessary.Bridge";

    // Calls the mock's own interface on the object at `path`.
    void call(const char* path, std::vector<std::string> arguments)
    {
        const fs::path out = m_folder / "gdbus.txt";
        arguments.front() = "org.freedesktop.DBus.Mock." + arguments.front();
        arguments.insert(arguments.begin(), {"call", "--session", "-d", m_name, "-o", path, "-m"});
        EXPECT_EQ(runProgram("gdbus", arguments, out), 0)
            << readFile(out) << readFile(m_folder / "dbusmock.txt");
    }

    fs::path m_folder;
    std::string m_name;
    fs::path m_log;
    ChildProcess m_mock;
};

} // namespace tessary::test

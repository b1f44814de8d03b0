// The global shortcut on a private X server with openbox: the grab delivers presses (also
// with NumLock or CapsLock on) to exactly one handler, a combination another client holds
// is reported as taken, at launch too, and switching the shortcut off releases the grab.
#include "lifecycle/host_lifecycle.h"
#include "console_prompts.h"
#include "lifecycle/host_services.h"
#include "platform/linux/portal_global_shortcut.h"
#include "shortcut/shortcut_keys.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <glib.h>

namespace tessary::test {
namespace {

constexpr const char* kSession = "/org/freedesktop/portal/desktop/session/tessary";

void pumpGLib()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// Counts the presses the service hands to the host, passing each on to its handler.
class PressCounter {
public:
    explicit PressCounter(tessary::GlobalShortcut& service) : m_handler(service.onPress)
    {
        service.onPress = [this] {
            ++m_presses;
            m_handler();
        };
    }

    // Types the keys and returns how many presses arrived: waits for `expected` of them,
    // then a little longer for any surplus.
    int press(const std::vector<std::string>& keys, int expected)
    {
        const int before = m_presses;
        EXPECT_EQ(runProgram("xdotool", keys), 0);
        waitUntil([&] { return m_presses - before >= expected; }, kDeadline, pumpGLib);
        waitUntil([] { return false; }, std::chrono::milliseconds(200), pumpGLib);
        return m_presses - before;
    }

    int total() const { return m_presses; }

private:
    std::function<void()> m_handler;
    int m_presses = 0;
};

class ShortcutGrab : public ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("XDG_SESSION_TYPE");
        // GNOME's settings are read for a keybinding left by Wayland; no dconf on this bus.
        setenv("GSETTINGS_BACKEND", "memory", 1);
    }

    ConsolePrompts m_prompts;
    HostServices m_services{m_prompts};
};

TEST_F(ShortcutGrab, EachPressReachesTheOneHandlerWhateverTheLockKeys)
{
    const std::string log = capturedLog([&] {
        m_services.hotKey.registerShortcut(SharedSettings::defaults());
        m_services.hotKey.registerShortcut(SharedSettings::defaults()); // no second handler
    });
    EXPECT_EQ(log, "INFO com.orvane.tessary[hotkey] Shortcut Ctrl+Alt+N registered\n"
                   "INFO com.orvane.tessary[hotkey] Shortcut Ctrl+Alt+N registered\n");
    PressCounter counter(m_services.shortcuts);
    const std::string ignored = capturedLog([&] {
        EXPECT_EQ(counter.press({"key", "ctrl+alt+n"}, 1), 1);
    });
    EXPECT_EQ(ignored, "INFO com.orvane.tessary[hotkey] Shortcut pressed while another app is in "
                       "front; ignored (Finder only)\n");
    const std::vector<std::string> rows[] = {
        {"key", "ctrl+alt+n"},
        {"key", "Num_Lock", "ctrl+alt+n", "Num_Lock"},
        {"key", "Caps_Lock", "ctrl+alt+n", "Caps_Lock"},
        {"key", "ctrl+alt+shift+n", "ctrl+n", "alt+n"}, // other combinations: not ours
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(::testing::PrintToString(rows[i]));
        const int expected = i < 3 ? 1 : 0;
        capturedLog([&] { EXPECT_EQ(counter.press(rows[i], expected), expected); });
    }
}

TEST_F(ShortcutGrab, ACombinationHeldElsewhereIsTakenUntilReleased)
{
    capturedLog([&] { m_services.hotKey.registerShortcut(SharedSettings::defaults()); });

    // A second program: its launch logs the failure and goes on.
    ConsolePrompts prompts;
    HostServices second(prompts);
    HostLifecycle delegate(second.requests, second.queue, LaunchReason::loginItem,
                           &second.launchTasks);
    const std::string launch = capturedLog([&] { delegate.finishLaunching(); });
    EXPECT_NE(launch.find("ERROR com.orvane.tessary[hotkey] RegisterEventHotKey failed: 10\n"
                          "ERROR com.orvane.tessary[app] Shortcut not registered: Ctrl+Alt+N is "
                          "already used by another app. Choose a different shortcut.\n"),
              std::string::npos)
        << launch;
    EXPECT_FALSE(second.hotKey.isRegistered());

    // Switched off in the first, the combination is free for the second.
    SharedSettings off = SharedSettings::defaults();
    off.shortcutEnabled = false;
    PressCounter first(m_services.shortcuts);
    PressCounter other(second.shortcuts);
    capturedLog([&] {
        m_services.hotKey.registerShortcut(off);
        EXPECT_NO_THROW(second.hotKey.registerShortcut(SharedSettings::defaults()));
        EXPECT_EQ(other.press({"key", "ctrl+alt+n"}, 1), 1);

        // Switched off in both: the key reaches nobody.
        second.hotKey.registerShortcut(off);
        EXPECT_EQ(other.press({"key", "ctrl+alt+n"}, 0), 0);
        EXPECT_EQ(first.total(), 0);
    });
}

// The portal path against python3-dbusmock standing in for the GlobalShortcuts interface.
TEST(ShortcutPortal, BindsThePreferredTriggerAndTakesItsActivations)
{
    TemporaryFolder folder;
    ChildProcess portal("/usr/bin/python3",
                        {"-m", "dbusmock", "--template", TESSARY_PORTAL_TEMPLATE},
                        folder.path() / "portal.log");
    ASSERT_TRUE(waitUntil([] { return PortalGlobalShortcut::offered(); }));

    PortalGlobalShortcut shortcut;
    int presses = 0;
    shortcut.onPress = [&] {
        ++presses;
    };
    const auto keys = shortcutKeys(kControlModifier | kAltModifier, 45);
    ASSERT_TRUE(keys);
    EXPECT_EQ(shortcut.add(*keys).outcome, ShortcutRegistration::Outcome::registered);
    EXPECT_NE(readFile(folder.path() / "portal.log").find("CTRL+ALT+n"), std::string::npos)
        << readFile(folder.path() / "portal.log");

    const auto activate = [&](const char* id) {
        const std::string arguments = std::string("[<objectpath '") + kSession + "'>, <'" + id +
                                      "'>, <uint64 0>, <@a{sv} {}>]";
        EXPECT_EQ(runProgram("gdbus",
                             {"call", "--session", "--dest", "org.freedesktop.portal.Desktop",
                              "--object-path", "/org/freedesktop/portal/desktop", "--method",
                              "org.freedesktop.DBus.Mock.EmitSignal",
                              "org.freedesktop.portal.GlobalShortcuts", "Activated", "osta{sv}",
                              arguments},
                             "/dev/null"),
                  0);
        waitUntil([] { return false; }, std::chrono::milliseconds(200), pumpGLib);
    };
    const struct {
        const char* id;
        bool removedFirst;
        int presses;
    } rows[] = {{"new-file", false, 1}, {"another", false, 1}, {"new-file", true, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        if (row.removedFirst) {
            shortcut.remove();
        }
        activate(row.id);
        EXPECT_EQ(presses, row.presses);
    }
}

} // namespace
} // namespace tessary::test

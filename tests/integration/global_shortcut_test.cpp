// The global shortcut on a private X server with openbox: the grab delivers presses of the
// key position (also with NumLock or CapsLock on) to exactly one handler, a combination
// another client holds is reported as taken, at launch too, and switching the shortcut off
// releases the grab.
#include "desktop_support.h"
#include "lifecycle/host_lifecycle.h"
#include "console_prompts.h"
#include "lifecycle/host_services.h"
#include "platform/linux/portal_global_shortcut.h"
#include "shortcut/shortcut_keys.h"

#include <glib.h>

namespace tessary::test {
namespace {

void pumpGLib()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// Activated reaches onPress for Tessary's shortcut of its own session only, and
// ShortcutsChanged reports the keys bound now.
void testActivations(PortalGlobalShortcut& shortcut)
{
    int presses = 0;
    std::string bound;
    shortcut.onPress = [&] {
        ++presses;
    };
    shortcut.onChange = [&](const std::string& trigger) {
        bound = trigger;
    };
    const auto send = [](const char* name, const char* signature, const std::string& value) {
        EXPECT_EQ(runProgram(
                      "gdbus",
                      {"call", "--session", "--dest", "org.freedesktop.portal.Desktop",
                       "--object-path", "/org/freedesktop/portal/desktop", "--method",
                       "org.freedesktop.DBus.Mock.EmitSignal",
                       "org.freedesktop.portal.GlobalShortcuts", name, signature,
                       "[<objectpath '/org/freedesktop/portal/desktop/session/tessary'>, " + value},
                      "/dev/null"),
                  0);
        waitUntil([] { return false; }, std::chrono::milliseconds(200), pumpGLib);
    };
    for (const char* id : {"new-file", "another"}) {
        send("Activated", "osta{sv}", std::string("<'") + id + "'>, <uint64 0>, <@a{sv} {}>]");
        EXPECT_EQ(presses, 1) << id;
    }
    send("ShortcutsChanged", "oa(sa{sv})",
         "<[('new-file', {'trigger_description': <'LOGO+n'>})]>]");
    EXPECT_EQ(bound, "LOGO+n");
    shortcut.remove();
    send("Activated", "osta{sv}", "<'new-file'>, <uint64 0>, <@a{sv} {}>]");
    EXPECT_EQ(presses, 1) << "after its session was closed";
}

// Counts the presses the service hands to the host, passing each on to its handler.
struct PressCounter {
    explicit PressCounter(tessary::GlobalShortcut& service) : handler(service.onPress)
    {
        service.onPress = [this] {
            ++presses;
            handler();
        };
    }

    // Types the keys and returns how many presses arrived: waits for `expected` of them,
    // then a little longer for any surplus.
    int press(const std::vector<std::string>& keys, int expected)
    {
        const int before = presses;
        EXPECT_EQ(runProgram("xdotool", keys), 0);
        waitUntil([&] { return presses - before >= expected; }, kDeadline, pumpGLib);
        waitUntil([] { return false; }, std::chrono::milliseconds(200), pumpGLib);
        return presses - before;
    }

    std::function<void()> handler;
    int presses = 0;
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
        // The same shortcut again: neither a second registration nor a second handler.
        m_services.hotKey.registerShortcut(SharedSettings::defaults());
    });
    EXPECT_EQ(log, "INFO com.orvane.tessary[hotkey] Shortcut Ctrl+Alt+N registered\n");
    PressCounter counter(m_services.shortcuts);
    // Another application in front: each press is only logged.
    const KeyLoggingWindow other("Notes", "org.gnome.TextEditor");
    ASSERT_TRUE(other.activate());
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

    // A shortcut names a key position: Ctrl+Alt+Q recorded on a US layout is the key that
    // types "a" on AZERTY.
    ASSERT_EQ(runProgram("setxkbmap", {"fr"}), 0);
    SharedSettings q = SharedSettings::defaults();
    q.shortcutKeyCode = 12;
    capturedLog([&] {
        m_services.hotKey.registerShortcut(q);
        EXPECT_EQ(counter.press({"key", "ctrl+alt+a"}, 1), 1);
        EXPECT_EQ(counter.press({"key", "ctrl+alt+q"}, 0), 0);
    });
    EXPECT_EQ(runProgram("setxkbmap", {"us"}), 0);
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
        EXPECT_EQ(first.presses, 0);
    });
}

// The portal path against python3-dbusmock standing in for the GlobalShortcuts interface:
// registration never waits for the portal, and reports the trigger the portal bound.
TEST(ShortcutPortal, ReportsWhatThePortalBoundAndTakesItsActivations)
{
    using Outcome = ShortcutRegistration::Outcome;
    const auto keys = shortcutKeys(kControlModifier | kAltModifier, 45);
    ASSERT_TRUE(keys);
    // What the portal binds; the outcome, its status and the trigger reported.
    const std::tuple<std::string, Outcome, int, std::string> rows[] = {
        {"same", Outcome::registered, 0, "CTRL+ALT+n"},
        {"other", Outcome::registered, 0, "CTRL+ALT+m"},
        {"none", Outcome::failed, kShortcutNotBound, ""},
        {"silent", Outcome::failed, kShortcutNotAnswered, ""},
    };
    for (const auto& [bind, outcome, status, trigger] : rows) {
        SCOPED_TRACE(bind);
        TemporaryFolder folder;
        ChildProcess portal("/usr/bin/python3",
                            {"-m", "dbusmock", "--template", TESSARY_PORTAL_TEMPLATE,
                             "--parameters", "{\"bind\": \"" + bind + "\"}"},
                            folder.path() / "portal.log");
        ASSERT_TRUE(waitUntil([] { return PortalGlobalShortcut::offered(); }));
        PortalGlobalShortcut shortcut(2000);
        std::optional<ShortcutRegistration> result;
        capturedLog([&] {
            shortcut.add(*keys, [&](const ShortcutRegistration& answer) { result = answer; });
            EXPECT_FALSE(result) << "answered before the event loop ran";
            EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, kDeadline, pumpGLib));
        });
        ASSERT_TRUE(result);
        EXPECT_EQ(std::tie(result->outcome, result->status, result->trigger),
                  std::tie(outcome, status, trigger));
        EXPECT_NE(readFile(folder.path() / "portal.log").find("CTRL+ALT+n"), std::string::npos);
        if (bind == "same") {
            testActivations(shortcut);
        }
    }
}

} // namespace
} // namespace tessary::test

// X11Display and XTestKeyEvents on a real X server with openbox: which application is
// active, where the rename key goes, and what happens without a reachable display.
#include "desktop_support.h"
#include "linux_workspace.h"
#include "x11_display.h"
#include "xtest_key_events.h"

#include <gtest/gtest.h>

namespace tessary {

// For readable failures of EXPECT_EQ on optional<FrontApplication>.
bool operator==(const FrontApplication& a, const FrontApplication& b)
{
    return a.id == b.id && a.name == b.name;
}
void PrintTo(const FrontApplication& application, std::ostream* out)
{
    *out << "{\"" << application.id << "\", \"" << application.name << "\"}";
}

namespace test {
namespace {

using Front = std::optional<FrontApplication>;

TEST(ActiveApplication, FollowsTheActiveWindow)
{
    const auto display = X11Display::connect();
    ASSERT_TRUE(display);
    EXPECT_EQ(display->activeApplication(), Front()) << "no window yet";

    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path());
    OtherWindow plain(folder.path());
    OtherWindow named(folder.path(),
                      {"--class", "gnome-text-editor,Gnome-text-editor", "--app-id",
                       "org.gnome.TextEditor", "--title", "Notes — Ünïcode"},
                      "named-window.log");
    ASSERT_TRUE(fileManager.ready());
    ASSERT_TRUE(plain.ready());
    ASSERT_TRUE(named.ready());

    const struct {
        const StandInProgram& window;
        FrontApplication expected;
    } rows[] = {
        {fileManager, {"org.gnome.Nautilus", "Files"}},
        // No application id and no title: the WM_CLASS class stands for both.
        {plain, {"Other", "Other"}},
        {named, {"org.gnome.TextEditor", "Notes — Ünïcode"}},
        {fileManager, {"org.gnome.Nautilus", "Files"}},
    };
    LinuxWorkspace workspace;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected.id);
        ASSERT_TRUE(activateWindow(row.window));
        EXPECT_EQ(display->activeApplication(), Front(row.expected));
        EXPECT_EQ(workspace.frontmostApplication(), Front(row.expected));
    }

    fileManager.stop();
    plain.stop();
    named.stop();
    EXPECT_TRUE(waitUntil([&] { return !display->activeApplication(); }))
        << "still active: " << ::testing::PrintToString(display->activeApplication());
}

TEST(RenameKey, ReachesTheFocusedWindowOncePerCall)
{
    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path());
    OtherWindow other(folder.path());
    ASSERT_TRUE(fileManager.ready());
    ASSERT_TRUE(other.ready());
    ASSERT_TRUE(activateWindow(fileManager));

    XTestKeyEvents keys;
    EXPECT_TRUE(keys.canSendKeys());
    EXPECT_TRUE(keys.pressRenameKey());
    // A key typed afterwards marks the end: anything sent by the call arrived before it.
    ASSERT_TRUE(typeKey("Escape"));
    ASSERT_TRUE(fileManager.log().waitFor("KeyRelease Escape"));

    EXPECT_EQ(fileManager.log().texts("Key"),
              (std::vector<std::string>{"KeyPress F2", "KeyRelease F2", "KeyPress Escape",
                                        "KeyRelease Escape"}));
    EXPECT_EQ(other.log().texts("Key"), std::vector<std::string>{});
}

// An X server without the XTEST extension cannot take synthetic keys: pressing must report
// failure, and the connection must still answer other questions afterwards.
TEST(RenameKeyWithoutXTest, ReportsFailureAndKeepsTheConnection)
{
    if (std::getenv("TESSARY_TEST_WITHOUT_XTEST") == nullptr) {
        GTEST_SKIP() << "needs a display without XTEST (with-desktop.sh --without-extension)";
    }
    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path());
    ASSERT_TRUE(fileManager.ready());
    ASSERT_TRUE(activateWindow(fileManager));

    const auto display = X11Display::connect();
    ASSERT_TRUE(display);
    EXPECT_FALSE(display->pressAndRelease(0xFFBF)); // F2
    EXPECT_EQ(display->activeApplication(), Front(FrontApplication{"org.gnome.Nautilus", "Files"}));

    XTestKeyEvents keys;
    EXPECT_FALSE(keys.pressRenameKey());
}

TEST(NoDisplay, NothingIsActiveAndNoKeyCanBeSent)
{
    const std::optional<std::string> displays[] = {std::nullopt, "", ":4242", "localhost:4242"};
    for (const auto& value : displays) {
        SCOPED_TRACE(value ? "DISPLAY=" + *value : "DISPLAY unset");
        ScopedEnvironment display("DISPLAY", value);

        EXPECT_EQ(X11Display::connect(), nullptr);
        EXPECT_EQ(LinuxWorkspace().frontmostApplication(), Front());
        XTestKeyEvents keys;
        EXPECT_FALSE(keys.canSendKeys());
        EXPECT_FALSE(keys.pressRenameKey());
    }
}

} // namespace
} // namespace test
} // namespace tessary

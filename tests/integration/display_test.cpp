// X11Display, XTestKeyEvents and RenameImmediately on a private desktop without the file
// manager's bridge: the rename key reaches the file manager only if it is in front when the
// delay ends, once per call and never any other window; without XTEST no key is made.
#include "desktop_support.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/known_file_managers.h"
#include "filemanager/rename_immediately.h"
#include "platform/linux/x11_display.h"
#include "platform/linux/xtest_key_events.h"

#include <QCoreApplication>

#include <fstream>

namespace tessary::test {
namespace {

constexpr auto kDelay = std::chrono::milliseconds(RenameImmediately::kDelayMilliseconds);

void pumpQt()
{
    QCoreApplication::processEvents();
}

TEST(RenameOnDesktop, PressesOncePerCallIfTheFileManagerIsInFrontWhenTheDelayEnds)
{
    const std::string notInFront =
        "INFO com.orvane.tessary[rename] Finder is not in front; not pressing Return\n";
    const struct {
        bool fileManagerAtCall;
        bool fileManagerAtEnd; // brought forward during the delay, as revealing the file does
        int calls;
        std::string fileManagerKeys; // before the Escape typed to the front window at the end
    } rows[] = {
        {true, true, 1, "+F2 -F2 "},
        {false, true, 1, "+F2 -F2 "},
        {true, false, 1, ""},
        {true, true, 2, "+F2 -F2 +F2 -F2 "},
    };
    for (const auto& row : rows) {
        TemporaryFolder folder;
        const KeyLoggingWindow fileManager(folder.path(), "Files", "org.gnome.Nautilus");
        const KeyLoggingWindow other(folder.path(), "Other", "org.gnome.TextEditor");
        const KeyLoggingWindow& front = row.fileManagerAtEnd ? fileManager : other;
        LinuxWorkspace workspace;
        KnownFileManagers files({"nautilus"});
        FrontFolderQuery frontFolder(files, workspace);
        XTestKeyEvents keys;
        RenameImmediately rename(frontFolder, files, keys);
        ASSERT_TRUE((row.fileManagerAtCall ? fileManager : other).activate());
        const LogCapture log;
        const auto called = Clock::now();
        for (int i = 0; i < row.calls; ++i) {
            rename.renameCreatedFile("/tmp/untitled.txt");
        }
        ASSERT_TRUE(front.activate());
        ASSERT_LT(Clock::now() - called, kDelay * 9 / 10) << "the switch came too late to test";
        // Until what the calls do has happened, and a press scheduled once more would be due.
        std::optional<Clock::duration> firstKey;
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto now = Clock::now() - called;
                firstKey = firstKey || fileManager.keys().empty() ? firstKey : now;
                return now > kDelay * 3 / 2 &&
                       fileManager.keys().size() >= row.fileManagerKeys.size() &&
                       log.text().size() >= (row.fileManagerKeys.empty() ? notInFront.size() : 0);
            },
            kDeadline, pumpQt));
        // A key typed afterwards marks the end: whatever the calls sent arrived before it.
        ASSERT_EQ(runProgram("xdotool", {"key", "Escape"}, "/dev/null"), 0);
        ASSERT_TRUE(waitUntil([&] { return front.keys().ends_with("-Escape "); }));
        EXPECT_EQ(fileManager.keys(),
                  row.fileManagerKeys + (row.fileManagerAtEnd ? "+Escape -Escape " : ""));
        EXPECT_EQ(other.keys(), row.fileManagerAtEnd ? "" : "+Escape -Escape ");
        EXPECT_EQ(log.text(), row.fileManagerKeys.empty() ? notInFront : "");
        // Qt's coarse timers may fire 5% early.
        EXPECT_GE(firstKey.value_or(kDelay), kDelay * 95 / 100) << "before the file was shown";
    }
}

// The desktop is in front when the active window is the desktop's or has closed (openbox
// then still names it as active), or before the window manager has named any. An application
// is named by its desktop entry or window class, never by a window title.
TEST(FrontApplicationOnDesktop, TheDesktopIsInFrontWhileNoOtherWindowIs)
{
    TemporaryFolder folder;
    const fs::path entries = fs::path(std::getenv("XDG_DATA_HOME")) / "applications";
    std::ofstream((fs::create_directories(entries), entries / "com.example.Mail.desktop"))
        << "[Desktop Entry]\nType=Application\nName=Mail\nExec=true\n";
    const auto display = X11Display::connect();
    ASSERT_TRUE(display);
    const auto front = [&] {
        return display->activeApplication().value_or(FrontApplication());
    };
    {
        const KeyLoggingWindow mail(folder.path(), "Re: salary", "com.example.Mail");
        ASSERT_TRUE(mail.activate());
        EXPECT_EQ(front().name, "Mail");
        EXPECT_FALSE(front().desktop);
        ASSERT_EQ(runProgram("xprop", {"-id", mail.id(), "-f", "_NET_WM_WINDOW_TYPE", "32a", "-set",
                                       "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP"}),
                  0);
        EXPECT_TRUE(front().desktop);
    }
    EXPECT_TRUE(waitUntil([&] { return front().desktop; }));
    ASSERT_EQ(runProgram("xprop", {"-root", "-remove", "_NET_ACTIVE_WINDOW"}), 0);
    EXPECT_TRUE(front().desktop) << "nothing focused since the session began";
}

// An X server without the XTEST extension cannot take synthetic keys: pressing reports
// failure, the connection still answers afterwards, and renaming counts as not permitted.
TEST(WithoutXTest, NoKeyIsMadeAndTheConnectionKeepsAnswering)
{
    if (std::getenv("TESSARY_TEST_WITHOUT_XTEST") == nullptr) {
        GTEST_SKIP() << "needs a display without XTEST (with-desktop.sh -extension XTEST)";
    }
    TemporaryFolder folder;
    const KeyLoggingWindow fileManager(folder.path(), "Files", "org.gnome.Nautilus");
    ASSERT_TRUE(fileManager.activate());
    const auto display = X11Display::connect();
    ASSERT_TRUE(display);
    EXPECT_FALSE(display->pressAndRelease(0xFFBF)); // F2
    EXPECT_EQ(display->activeApplication().value_or(FrontApplication()).id, "org.gnome.Nautilus");

    LinuxWorkspace workspace;
    KnownFileManagers files({"nautilus"});
    FrontFolderQuery frontFolder(files, workspace);
    XTestKeyEvents keys;
    RenameImmediately rename(frontFolder, files, keys);
    const LogCapture log;
    rename.renameCreatedFile("/tmp/untitled.txt");
    ASSERT_TRUE(waitUntil([&] { return !log.text().empty(); }, kDeadline, pumpQt));
    EXPECT_EQ(log.text(), "INFO com.orvane.tessary[rename] Rename immediately is on, but "
                          "Accessibility permission is missing\n");
}

} // namespace
} // namespace tessary::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // RenameImmediately schedules its key press on this application's event loop.
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}

// RenameImmediately with the real workspace and XTest keys on a private desktop: the rename
// key reaches the file manager after the delay only if the file manager is in front when the
// delay ends, and never any other window.
#include "desktop_support.h"
#include "linux_workspace.h"
#include "nautilus_file_manager.h"
#include "rename_immediately.h"
#include "xtest_key_events.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

namespace tessary::test {
namespace {

constexpr auto kDelay = std::chrono::milliseconds(RenameImmediately::kDelayMilliseconds);
// Qt's default (coarse) timers may fire up to 5% early.
constexpr auto kEarliest = kDelay * 95 / 100;

const std::string kNotInFront = "INFO com.orvane.tessary[rename] Finder is not in front; not "
                                "pressing Return";
const std::string kNoPermission = "INFO com.orvane.tessary[rename] Rename immediately is on, but "
                                  "Accessibility permission is missing";

void pumpQt()
{
    QCoreApplication::processEvents();
}

// Runs the event loop until a timer started now for `duration` has fired: every timer
// started before with at most that interval has fired too.
void runEventLoopFor(std::chrono::milliseconds duration)
{
    bool fired = false;
    QTimer::singleShot(duration, Qt::PreciseTimer, [&] { fired = true; });
    ASSERT_TRUE(waitUntil([&] { return fired; }, duration + kDeadline, pumpQt));
}

// The keys the program logged after its first `from` ones.
std::vector<LoggedEvent> keyEventsSince(const StandInProgram& program, std::size_t from)
{
    std::vector<LoggedEvent> keys;
    for (LoggedEvent& event : program.log().events()) {
        if (event.text.starts_with("Key")) {
            keys.push_back(std::move(event));
        }
    }
    keys.erase(keys.begin(),
               keys.begin() + static_cast<std::ptrdiff_t>(std::min(from, keys.size())));
    return keys;
}

std::vector<std::string> keysSince(const StandInProgram& program, std::size_t from)
{
    std::vector<std::string> texts;
    for (LoggedEvent& event : keyEventsSince(program, from)) {
        texts.push_back(std::move(event.text));
    }
    return texts;
}

class RenameOnDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_fileManager.ready());
        ASSERT_TRUE(m_other.ready());
    }

    TemporaryFolder m_folder;
    FileManagerStandIn m_fileManager{m_folder.path()};
    OtherWindow m_other{m_folder.path()};
    LinuxWorkspace m_workspace;
    XTestKeyEvents m_keys;
    NautilusFileManager m_files; // no bridge on this bus: XTest presses the key
    FinderAutomation m_automation{m_files, m_workspace};
    RenameImmediately m_rename{m_automation, m_files, m_keys};
};

TEST_F(RenameOnDesktop, PressesTheRenameKeyOnlyIfTheFileManagerIsInFrontWhenTheDelayEnds)
{
    const struct {
        const char* name;
        const StandInProgram& frontAtCall;
        const StandInProgram& frontAtEnd;
        bool pressed;
    } rows[] = {
        {"file manager in front throughout", m_fileManager, m_fileManager, true},
        // Revealing the file brings the file manager forward only after the call.
        {"file manager comes to front during the delay", m_other, m_fileManager, true},
        {"user switches away during the delay", m_fileManager, m_other, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(activateWindow(row.frontAtCall));
        const std::size_t fileManagerKeys = m_fileManager.log().texts("Key").size();
        const std::size_t otherKeys = m_other.log().texts("Key").size();
        StderrCapture log;

        const auto called = Clock::now();
        m_rename.renameCreatedFile("/tmp/untitled.txt");
        if (&row.frontAtEnd != &row.frontAtCall) {
            ASSERT_TRUE(activateWindow(row.frontAtEnd));
            ASSERT_LT(Clock::now() - called, kEarliest) << "the switch came too late to test";
        }

        if (row.pressed) {
            ASSERT_TRUE(
                waitUntil([&] { return keysSince(m_fileManager, fileManagerKeys).size() >= 2; },
                          kDeadline, pumpQt));
            EXPECT_GE(keyEventsSince(m_fileManager, fileManagerKeys).front().time - called,
                      kEarliest);
        } else {
            ASSERT_TRUE(
                waitUntil([&] { return !log.logLines("rename").empty(); }, kDeadline, pumpQt));
        }
        // A key typed afterwards marks the end: anything the call sent arrived before it.
        ASSERT_TRUE(typeKey("Escape"));
        const std::size_t frontFrom =
            &row.frontAtEnd == &m_fileManager ? fileManagerKeys : otherKeys;
        ASSERT_TRUE(waitUntil(
            [&] {
                const std::vector<std::string> keys = keysSince(row.frontAtEnd, frontFrom);
                return !keys.empty() && keys.back() == "KeyRelease Escape";
            },
            kDeadline, pumpQt));

        const std::vector<std::string> escape = {"KeyPress Escape", "KeyRelease Escape"};
        const std::vector<std::string> renameThenEscape = {"KeyPress F2", "KeyRelease F2",
                                                           "KeyPress Escape", "KeyRelease Escape"};
        if (row.pressed) {
            EXPECT_EQ(keysSince(m_fileManager, fileManagerKeys), renameThenEscape);
            EXPECT_EQ(keysSince(m_other, otherKeys), std::vector<std::string>{});
            EXPECT_EQ(log.logLines("rename"), std::vector<std::string>{});
        } else {
            EXPECT_EQ(keysSince(m_fileManager, fileManagerKeys), std::vector<std::string>{});
            EXPECT_EQ(keysSince(m_other, otherKeys), escape);
            EXPECT_EQ(log.logLines("rename"), std::vector<std::string>{kNotInFront});
        }
    }
}

TEST_F(RenameOnDesktop, EachCallPressesOnce)
{
    ASSERT_TRUE(activateWindow(m_fileManager));
    m_rename.renameCreatedFile("/tmp/untitled.txt");
    m_rename.renameCreatedFile("/tmp/untitled.txt");
    ASSERT_TRUE(waitUntil([&] { return m_fileManager.log().texts("KeyRelease F2").size() == 2; },
                          kDeadline, pumpQt));
    runEventLoopFor(kDelay); // a third press, if one was scheduled, would be due by now
    ASSERT_TRUE(typeKey("Escape"));
    ASSERT_TRUE(m_fileManager.log().waitFor("KeyRelease Escape"));

    EXPECT_EQ(m_fileManager.log().texts("Key"),
              (std::vector<std::string>{"KeyPress F2", "KeyRelease F2", "KeyPress F2",
                                        "KeyRelease F2", "KeyPress Escape", "KeyRelease Escape"}));
}

TEST(RenameWithoutDisplay, LogsTheMissingPermissionAndSchedulesNothing)
{
    ScopedEnvironment noDisplay("DISPLAY", std::nullopt);
    LinuxWorkspace workspace;
    XTestKeyEvents keys;
    NautilusFileManager files;
    FinderAutomation automation(files, workspace);
    RenameImmediately rename(automation, files, keys);
    StderrCapture log;

    rename.renameCreatedFile("/tmp/untitled.txt");
    EXPECT_EQ(log.logLines("rename"), std::vector<std::string>{kNoPermission});

    // Had a press been scheduled, it would have found no front application and said so.
    runEventLoopFor(kDelay * 2);
    EXPECT_EQ(log.logLines("rename"), std::vector<std::string>{kNoPermission});
}

// A display without XTEST: the file manager is in front, but no key can be sent, so the
// permission is missing.
TEST(RenameWithoutXTest, LogsTheMissingPermission)
{
    if (std::getenv("TESSARY_TEST_WITHOUT_XTEST") == nullptr) {
        GTEST_SKIP() << "needs a display without XTEST (with-desktop.sh --without-extension)";
    }
    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path());
    ASSERT_TRUE(fileManager.ready());
    ASSERT_TRUE(activateWindow(fileManager));
    LinuxWorkspace workspace;
    XTestKeyEvents keys;
    NautilusFileManager files;
    FinderAutomation automation(files, workspace);
    RenameImmediately rename(automation, files, keys);
    StderrCapture log;

    rename.renameCreatedFile("/tmp/untitled.txt");
    ASSERT_TRUE(waitUntil([&] { return !log.logLines("rename").empty(); }, kDeadline, pumpQt));
    EXPECT_EQ(log.logLines("rename"), std::vector<std::string>{kNoPermission});
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

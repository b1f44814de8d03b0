// The folder grant: bookmarks that resolve, go stale or vanish, the scope around work, the
// explanatory alert and the panel, saving and forgetting.
#include "disk_access.h"

#include "host_test_support.h"
#include "posix_io.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class DiskAccessTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        granted = configHome().parent_path() / "granted";
        fs::create_directories(granted);
    }
    SharedSettings grantedSettings()
    {
        diskAccess.saveGrant(granted);
        return SharedSettings::load();
    }

    bool mayWriteIn(const fs::path& folder)
    {
        const UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return services.bookmarks.mayWriteIn(fd.get());
    }

    fs::path granted;
    test::ScriptedPrompts prompts;
    HostServices services{prompts};
    DiskAccess& diskAccess = services.diskAccess;
};

TEST_F(DiskAccessTest, WithoutAGrantTheWorkRunsOnceUnscoped)
{
    int runs = 0;
    diskAccess.withDiskAccess(SharedSettings::load(), [&] {
        ++runs;
        EXPECT_TRUE(mayWriteIn("/"));
    });
    EXPECT_EQ(runs, 1);
}

TEST_F(DiskAccessTest, TheScopeIsOpenDuringTheWorkAndClosedAfterAFailure)
{
    const SharedSettings settings = grantedSettings();
    struct WorkFailed {};
    EXPECT_THROW(diskAccess.withDiskAccess(settings,
                                           [&] {
                                               EXPECT_TRUE(mayWriteIn(granted));
                                               EXPECT_FALSE(mayWriteIn("/"));
                                               throw WorkFailed{};
                                           }),
                 WorkFailed);
    EXPECT_TRUE(mayWriteIn("/")) << "the scope was not closed";
}

TEST_F(DiskAccessTest, AStaleGrantStillWorksAndSaysSo)
{
    const SharedSettings settings = grantedSettings();
    fs::rename(granted, granted.string() + "-old");
    fs::create_directories(granted); // the same path, another folder
    int runs = 0;
    const std::string log =
        test::capturedLog([&] { diskAccess.withDiskAccess(settings, [&] { ++runs; }); });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(log, "INFO com.orvane.tessary[disk-access] Bookmark for " + granted.string() +
                       " is stale; grant access again to refresh it\n");
}

TEST_F(DiskAccessTest, AGrantWhoseFolderIsGoneIsUnresolvable)
{
    const SharedSettings settings = grantedSettings();
    fs::remove_all(granted);
    std::string log;
    try {
        log = test::capturedLog([&] { diskAccess.withDiskAccess(settings, [] { FAIL(); }); });
        FAIL() << "no error";
    } catch (const DiskAccessError& error) {
        EXPECT_EQ(error.kind(), DiskAccessError::Case::unresolvable);
        EXPECT_EQ(std::string(error.what()),
                  "The saved disk access is no longer valid (The folder “" + granted.string() +
                      "” no longer exists.).");
    }
    SharedSettings damaged = settings;
    damaged.rootBookmark = Bytes{'n', 'o', 'p', 'e'};
    EXPECT_THROW(diskAccess.withDiskAccess(damaged, [] {}), DiskAccessError);
}

TEST_F(DiskAccessTest, ThePromptExplainsWithTheReasonFirst)
{
    EXPECT_FALSE(
        diskAccess.promptForDiskAccess(std::string("macOS refused the saved disk access.")));
    ASSERT_EQ(prompts.alerts.size(), 1u);
    const AlertRequest& alert = prompts.alerts[0];
    EXPECT_EQ(alert.messageText, "Tessary needs access to your disk");
    const std::string standard = "Grant access once and Tessary can create files in every folder. "
                                 "In the next panel, select your startup disk (“" +
                                 DiskAccess::startupDiskName() + "”) and click Grant Access.";
    EXPECT_EQ(alert.informativeText, "macOS refused the saved disk access.\n\n" + standard);
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Grant Access…", "Cancel"}));
    EXPECT_TRUE(prompts.panels.empty()) << "Cancel must not open the panel";

    diskAccess.promptForDiskAccess(std::nullopt);
    EXPECT_EQ(prompts.alerts[1].informativeText, standard);
}

TEST_F(DiskAccessTest, GrantingThroughThePanelStoresTheFolderAndRegistersTheLoginItem)
{
    prompts.alertAnswers = {0};
    prompts.panelAnswers = {granted};
    EXPECT_TRUE(diskAccess.promptForDiskAccess(std::nullopt));
    ASSERT_EQ(prompts.panels.size(), 1u);
    EXPECT_EQ(prompts.panels[0].prompt, "Grant Access");
    EXPECT_EQ(prompts.panels[0].startIn, "/");
    const SharedSettings settings = SharedSettings::load();
    EXPECT_TRUE(settings.hasDiskAccess());
    EXPECT_EQ(settings.rootPath, granted.string());
    EXPECT_EQ(services.loginItems.status(), LoginItemStatus::enabled);
}

TEST_F(DiskAccessTest, CancellingThePanelOrFailingToSaveChangesNothing)
{
    SharedSettings before = SharedSettings::load();
    before.openAfterCreate = true;
    EXPECT_FALSE(before.save());
    prompts.panelAnswers = {std::nullopt, granted / "missing"};
    EXPECT_FALSE(diskAccess.grantDiskAccess());
    EXPECT_FALSE(diskAccess.grantDiskAccess());
    ASSERT_EQ(prompts.alerts.size(), 1u);
    EXPECT_EQ(prompts.alerts[0].messageText, "Couldn't save disk access");
    EXPECT_EQ(prompts.alerts[0].informativeText, "No such file or directory");
    EXPECT_EQ(SharedSettings::load(), before);
    EXPECT_EQ(services.loginItems.status(), LoginItemStatus::notRegistered);
}

TEST_F(DiskAccessTest, ForgettingRemovesBothKeys)
{
    grantedSettings();
    const std::string log = test::capturedLog([&] { diskAccess.forgetDiskAccess(); });
    EXPECT_EQ(log, "INFO com.orvane.tessary[disk-access] Disk access forgotten\n");
    EXPECT_FALSE(SharedSettings::load().hasDiskAccess());
    const auto stored = DefaultsStore::appGroup().data(kSettingsKey);
    ASSERT_TRUE(stored);
    const auto document = nlohmann::json::parse(*stored);
    EXPECT_FALSE(document.contains("rootBookmark"));
    EXPECT_FALSE(document.contains("rootPath"));
}

} // namespace
} // namespace tessary

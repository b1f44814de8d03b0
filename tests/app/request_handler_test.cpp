// The request road inside the host: what is logged, asked and shown for each outcome.
#include "request_handler.h"

#include "host_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class RequestHandlerTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        root = configHome().parent_path() / "root";
        target = root / "target folder";
        fs::create_directories(target);
    }
    void grant() { services.diskAccess.saveGrant(root); }
    std::string run(const CreateRequest& request)
    {
        return test::capturedLog([&] { created = services.requests.performCreate(request); });
    }
    static bool contains(const std::string& log, const std::string& line)
    {
        return log.find(line + "\n") != std::string::npos;
    }

    fs::path root;
    fs::path target;
    test::ScriptedPrompts prompts;
    HostServices services{prompts};
    std::optional<fs::path> created;
};

TEST_F(RequestHandlerTest, AnIndexOutsideTheListIsOnlyLogged)
{
    grant();
    for (const std::int64_t index : {3, 99, -1}) {
        const std::string log = run({target.string(), index});
        EXPECT_EQ(log, "ERROR com.orvane.tessary[create] No template at index " +
                           std::to_string(index) + "\n");
        EXPECT_FALSE(created);
    }
    EXPECT_TRUE(prompts.alerts.empty());
    EXPECT_TRUE(fs::is_empty(target));
}

TEST_F(RequestHandlerTest, FirstUseAsksOnceThenCreatesInTheSameRequest)
{
    prompts.alertAnswers = {0};
    prompts.panelAnswers = {root};
    run({target.string(), 1});
    ASSERT_EQ(prompts.alerts.size(), 1u);
    EXPECT_TRUE(prompts.alerts[0].informativeText.starts_with("Grant access once"))
        << "no reason line on first use";
    EXPECT_EQ(created, target / "untitled.md");
    EXPECT_TRUE(fs::exists(target / "untitled.md"));
}

TEST_F(RequestHandlerTest, DecliningTheFirstGrantEndsSilently)
{
    const std::string log = run({target.string(), 0});
    EXPECT_EQ(prompts.alerts.size(), 1u) << "only the explanatory alert";
    EXPECT_EQ(log, "");
    EXPECT_FALSE(created);
}

TEST_F(RequestHandlerTest, AVanishedGrantAsksAgainWithTheReasonAndRetriesOnce)
{
    const fs::path oldRoot = configHome().parent_path() / "old root";
    fs::create_directories(oldRoot);
    services.diskAccess.saveGrant(oldRoot);
    fs::remove_all(oldRoot);
    prompts.alertAnswers = {0};
    prompts.panelAnswers = {root};
    const std::string log = run({target.string(), 0});

    const std::string reason = "The saved disk access is no longer valid (The folder “" +
                               oldRoot.string() + "” no longer exists.).";
    EXPECT_TRUE(contains(log, "ERROR com.orvane.tessary[create] Create failed in " +
                                  target.string() + ": " + reason))
        << log;
    EXPECT_TRUE(contains(log, "ERROR com.orvane.tessary[create] Disk access failed: " + reason))
        << log;
    ASSERT_EQ(prompts.alerts.size(), 1u);
    EXPECT_TRUE(prompts.alerts[0].informativeText.starts_with(reason + "\n\nGrant access once"));
    EXPECT_EQ(created, target / "untitled.txt");
}

TEST_F(RequestHandlerTest, ARetryThatFailsAgainEndsInOneAlert)
{
    const fs::path oldRoot = configHome().parent_path() / "old root";
    fs::create_directories(oldRoot);
    services.diskAccess.saveGrant(oldRoot);
    fs::remove_all(oldRoot);
    const fs::path elsewhere = configHome().parent_path() / "elsewhere";
    fs::create_directories(elsewhere);
    prompts.alertAnswers = {0};
    prompts.panelAnswers = {elsewhere}; // a grant that does not cover the target
    const std::string log = run({target.string(), 0});
    ASSERT_EQ(prompts.alerts.size(), 2u);
    EXPECT_EQ(prompts.alerts[1].messageText, "Couldn't create the file");
    EXPECT_EQ(prompts.alerts[1].informativeText,
              "Could not create untitled.txt: Operation not permitted");
    std::size_t failures = 0;
    for (std::size_t at = log.find("Create failed in"); at != std::string::npos;
         at = log.find("Create failed in", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 2u) << log;
    EXPECT_FALSE(created);
}

TEST_F(RequestHandlerTest, ABadTemplateNameIsShownWithoutAskingForAccess)
{
    grant();
    SharedSettings settings = SharedSettings::load();
    settings.templates[0].baseName = "..";
    settings.renameImmediately = true;
    EXPECT_FALSE(settings.save());
    const std::string log = run({target.string(), 0});
    ASSERT_EQ(prompts.alerts.size(), 1u);
    EXPECT_EQ(prompts.alerts[0].messageText, "Couldn't create the file");
    EXPECT_TRUE(
        prompts.alerts[0].informativeText.starts_with("The template “Text File” has a file name"));
    EXPECT_EQ(log.find("[rename]"), std::string::npos) << "no rename after a failure";
}

TEST_F(RequestHandlerTest, RenameStartsOnlyAfterASuccessfulCreation)
{
    grant();
    SharedSettings settings = SharedSettings::load();
    settings.renameImmediately = true;
    EXPECT_FALSE(settings.save());
    ::unsetenv("DISPLAY"); // without a display the permission is missing
    const std::string log = run({target.string(), 0});
    EXPECT_TRUE(contains(log, "INFO com.orvane.tessary[rename] Rename immediately is on, but "
                              "Accessibility permission is missing"))
        << log;
    EXPECT_TRUE(created);
}

TEST_F(RequestHandlerTest, UrlsMustBeSignedWithTheSharedKeyAndRecent)
{
    grant();
    const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
    const auto now = CreateRequest::Clock::now();
    const std::string good = *CreateRequest{target.string(), 2}.signedURL(key, now);
    const std::string old =
        *CreateRequest{target.string(), 2}.signedURL(key, now - std::chrono::minutes(3));
    RequestKey otherKey = key;
    otherKey[5] ^= 1;
    const std::string forged = *CreateRequest{target.string(), 2}.signedURL(otherKey, now);
    for (const std::string& url : {old, forged, std::string("tessary://create?dir=/tmp")}) {
        const std::string log = test::capturedLog([&] { services.requests.handleCreateURL(url); });
        EXPECT_EQ(log, "ERROR com.orvane.tessary[create] Ignoring a request that is malformed, "
                       "unsigned or expired: " +
                           url + "\n");
    }
    EXPECT_TRUE(fs::is_empty(target));
    services.requests.handleCreateURL(good);
    EXPECT_TRUE(fs::exists(target / "untitled"));
}

} // namespace
} // namespace tessary

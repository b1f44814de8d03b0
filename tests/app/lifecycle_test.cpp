// Start-up, URL intake, the activation-policy rule, the login item and the command line.
#include "app_delegate.h"
#include "command_line.h"

#include "host_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class LifecycleTest : public test::ConfigFolderTest {
protected:
    test::ScriptedPrompts prompts;
    HostServices services{prompts};
};

TEST_F(LifecycleTest, FirstLaunchSeedsTheSettingsAndKeyOnce)
{
    AppDelegate first(services.requests, services.queue, LaunchReason::user);
    const std::string log = test::capturedLog([&] { first.applicationDidFinishLaunching(); });
    EXPECT_EQ(log, "INFO com.orvane.tessary[app] Host app launched, opened by user: 1\n");
    const DefaultsStore store = DefaultsStore::appGroup();
    const auto seeded = store.data(kSettingsKey);
    ASSERT_TRUE(seeded);
    EXPECT_EQ(store.data(kRequestKeyKey)->size(), 32u);

    const std::string undecodable = "{\"templates\": 5}";
    ASSERT_FALSE(store.setData(kSettingsKey, Bytes(undecodable.begin(), undecodable.end())));
    AppDelegate second(services.requests, services.queue, LaunchReason::loginItem);
    test::capturedLog([&] { second.applicationDidFinishLaunching(); });
    EXPECT_EQ(store.data(kSettingsKey), Bytes(undecodable.begin(), undecodable.end()));
}

TEST_F(LifecycleTest, HowTheHostWasStartedDecidesWhetherItHides)
{
    const struct {
        LaunchReason reason;
        bool urlsFirst;
        bool openedByUser;
    } rows[] = {
        {LaunchReason::user, false, true},
        {LaunchReason::loginItem, false, false},
        {LaunchReason::user, true, false},
    };
    for (const auto& row : rows) {
        AppDelegate delegate(services.requests, services.queue, row.reason);
        int hidden = 0;
        delegate.hide = [&] {
            ++hidden;
        };
        std::string log = test::capturedLog([&] {
            if (row.urlsFirst) {
                delegate.applicationOpen({"tessary://create?bad"});
            }
            delegate.applicationDidFinishLaunching();
        });
        EXPECT_EQ(delegate.launchedForURL(), row.urlsFirst);
        EXPECT_EQ(delegate.openedByUser(), row.openedByUser);
        EXPECT_EQ(hidden, row.openedByUser ? 0 : 1);
        EXPECT_NE(log.find(std::string("opened by user: ") + (row.openedByUser ? "1" : "0")),
                  std::string::npos);
        if (row.urlsFirst) {
            // Handled after the launch line, not before.
            EXPECT_LT(log.find("Host app launched"), log.find("Received tessary://create?bad"))
                << log;
        }
    }
}

TEST_F(LifecycleTest, UrlsAreLoggedAndHandledInOrder)
{
    AppDelegate delegate(services.requests, services.queue, LaunchReason::user);
    test::capturedLog([&] { delegate.applicationDidFinishLaunching(); });
    const std::string log = test::capturedLog([&] { delegate.applicationOpen({"one:", "two:"}); });
    EXPECT_FALSE(delegate.launchedForURL()) << "URLs after launch change nothing";
    EXPECT_EQ(log, "INFO com.orvane.tessary[app] Received one:\n"
                   "ERROR com.orvane.tessary[create] Ignoring a request that is malformed, "
                   "unsigned or expired: one:\n"
                   "INFO com.orvane.tessary[app] Received two:\n"
                   "ERROR com.orvane.tessary[create] Ignoring a request that is malformed, "
                   "unsigned or expired: two:\n");
}

TEST_F(LifecycleTest, OnlyTitledOwnWindowsKeepTheRegularPolicy)
{
    AppDelegate delegate(services.requests, services.queue, LaunchReason::user);
    const int a = 0, b = 0, c = 0;
    const WindowInfo settings{&a};
    const WindowInfo about{&b};
    const WindowInfo panel{&c, true};
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::accessory);
    delegate.showInDock(panel);
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::accessory) << "panels do not count";
    delegate.showInDock(settings);
    delegate.showInDock(about);
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::regular);
    delegate.leaveDockUnlessWindowsRemain(panel, {settings, about});
    delegate.leaveDockUnlessWindowsRemain(settings, {settings, about, panel});
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::regular) << "the About window remains";
    WindowInfo hiddenAbout = about;
    hiddenAbout.visible = false;
    delegate.leaveDockUnlessWindowsRemain(about, {hiddenAbout, panel});
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_FALSE(isAppWindow({nullptr, false, true, true}));
    EXPECT_FALSE(isAppWindow({nullptr, false, false, false}));
}

TEST_F(LifecycleTest, LoginItemRegistersOnceEvenWhenThatFails)
{
    // A folder where the entry belongs makes the registration fail.
    fs::create_directories(AutostartLoginItems::entryPath());
    std::string log =
        test::capturedLog([&] { services.loginItem.registerLoginItemOnFirstLaunch(); });
    EXPECT_TRUE(
        log.starts_with("ERROR com.orvane.tessary[login-item] Could not register as login item: "))
        << log;
    EXPECT_EQ(DefaultsStore::standard().boolean(kDidRegisterLoginItemKey), true);
    fs::remove(AutostartLoginItems::entryPath());
    log = test::capturedLog([&] { services.loginItem.registerLoginItemOnFirstLaunch(); });
    EXPECT_EQ(log, "") << "no second attempt";
    EXPECT_EQ(services.loginItem.status(), LoginItemStatus::notRegistered);
}

TEST_F(LifecycleTest, TheSwitchWritesAndRemovesTheAutostartEntry)
{
    std::string log = test::capturedLog([&] { services.loginItem.setLoginItemEnabled(true); });
    EXPECT_EQ(log, "INFO com.orvane.tessary[login-item] Login item registered; status 1\n");
    std::ifstream entry(AutostartLoginItems::entryPath());
    std::ostringstream contents;
    contents << entry.rdbuf();
    const std::string text = contents.str();
    EXPECT_NE(text.find("\nExec="), std::string::npos);
    EXPECT_NE(text.find(" --login\n"), std::string::npos);
    log = test::capturedLog([&] { services.loginItem.setLoginItemEnabled(false); });
    EXPECT_EQ(log, "INFO com.orvane.tessary[login-item] Login item unregistered; status 0\n");
    EXPECT_FALSE(fs::exists(AutostartLoginItems::entryPath()));
    EXPECT_FALSE(DefaultsStore::standard().boolean(kDidRegisterLoginItemKey))
        << "the switch keeps no record";
}

TEST(CommandLine, Parses)
{
    using Mode = CommandLine::Mode;
    const struct {
        std::vector<std::string> arguments;
        Mode mode;
        std::vector<std::string> urls;
        bool login;
        bool activate;
        std::optional<std::int64_t> index;
        std::string directory;
    } rows[] = {
        {{}, Mode::host, {}, false, false, {}, ""},
        {{"--login"}, Mode::host, {}, true, false, {}, ""},
        {{"--activate", "tessary://a", "tessary://b"},
         Mode::host,
         {"tessary://a", "tessary://b"},
         false,
         true,
         {},
         ""},
        {{"new"}, Mode::create, {}, false, false, {}, "."},
        {{"new", "--template", "2", "/tmp/x"}, Mode::create, {}, false, false, 2, "/tmp/x"},
        {{"new", "/tmp/x", "--template=0"}, Mode::create, {}, false, false, 0, "/tmp/x"},
        {{"new", "--template", "-1"}, Mode::invalid, {}, false, false, {}, ""},
        {{"new", "--template"}, Mode::invalid, {}, false, false, {}, ""},
        {{"new", "a", "b"}, Mode::invalid, {}, false, false, {}, ""},
        {{"new", "--force"}, Mode::invalid, {}, false, false, {}, ""},
        {{"grant", "/srv"}, Mode::grant, {}, false, false, {}, "/srv"},
        {{"grant"}, Mode::invalid, {}, false, false, {}, ""},
        {{"forget"}, Mode::forget, {}, false, false, {}, ""},
        {{"--version"}, Mode::version, {}, false, false, {}, ""},
        {{"tessary://x", "--help"}, Mode::help, {"tessary://x"}, false, false, {}, ""},
        {{"--bogus"}, Mode::invalid, {}, false, false, {}, ""},
    };
    for (const auto& row : rows) {
        const CommandLine line = parseCommandLine(row.arguments);
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        EXPECT_EQ(line.mode, row.mode);
        if (row.mode == Mode::invalid) {
            EXPECT_FALSE(line.error.empty());
            continue;
        }
        EXPECT_EQ(line.urls, row.urls);
        EXPECT_EQ(line.login, row.login);
        EXPECT_EQ(line.activate, row.activate);
        EXPECT_EQ(line.templateIndex, row.index);
        EXPECT_EQ(line.directory, row.directory);
    }
}

} // namespace
} // namespace tessary

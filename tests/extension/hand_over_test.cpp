// The hand-over of a chosen item to the host, end to end through real processes and
// sockets: to a running host, to a host program started for it, and through tessary-menu.
#include "finder_sync.h"

#include "create_request.h"
#include "defaults_store.h"
#include "extension_test_support.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class HandOverTest : public test::ExtensionTest {
protected:
    fs::path hostProgram() const { return scratchFolder() / "prefix" / "bin" / "tessary"; }

    // The request a URL carries, checked as the host checks it.
    static std::optional<CreateRequest> verified(const std::string& url)
    {
        return CreateRequest::verifying(url, requestKey(DefaultsStore::appGroup()).value(),
                                        CreateRequest::Clock::now());
    }
};

TEST_F(HandOverTest, ARunningHostGetsTheSignedRequest)
{
    for (const bool diskAccess : {false, true}) {
        test::storeTemplates({test::makeTemplate("A"), test::makeTemplate("B")}, 1, diskAccess);
        fs::remove_all(hostProgram().parent_path());
        test::writeStandInProgram(hostProgram());
        FinderSync finderSync{HostHandOver(hostProgram())};
        const auto built = finderSync.menu(MenuKind::items, "/srv/a b", {"/srv/a b/c.txt"});
        ASSERT_TRUE(built);
        test::StandInHost host;
        const auto url = finderSync.createFile(*built->menu.items.front().tag, *built->context);
        ASSERT_TRUE(url);
        const auto message = host.message();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->urls, std::vector{*url});
        // Without a disk grant the host must come forward to ask for one.
        EXPECT_EQ(message->activates, !diskAccess);
        EXPECT_FALSE(message->reopen);
        EXPECT_EQ(verified(*url), (CreateRequest{"/srv/a b", 1}));
        EXPECT_FALSE(test::standInArguments(hostProgram(), std::chrono::milliseconds(0)));
    }
}

TEST_F(HandOverTest, WithoutAHostTheHostProgramIsStartedWithTheURL)
{
    for (const bool diskAccess : {false, true}) {
        test::storeTemplates({test::makeTemplate("A")}, std::nullopt, diskAccess);
        fs::remove_all(hostProgram().parent_path());
        test::writeStandInProgram(hostProgram());
        FinderSync finderSync{HostHandOver(hostProgram())};
        const auto built = finderSync.menu(MenuKind::container, "/srv", {});
        ASSERT_TRUE(built);
        const auto url = finderSync.createFile(0, *built->context);
        ASSERT_TRUE(url);
        const auto arguments = test::standInArguments(hostProgram());
        ASSERT_TRUE(arguments);
        const auto expected =
            diskAccess ? std::vector{*url} : std::vector<std::string>{"--activate", *url};
        EXPECT_EQ(*arguments, expected);
        EXPECT_EQ(verified(*url), (CreateRequest{"/srv", 0}));
    }
}

TEST_F(HandOverTest, AHostThatDoesNotTakeTheRequestIsNotStartedAgain)
{
    test::storeTemplates({test::makeTemplate("A")});
    int starts = 0;
    FinderSync finderSync{HostHandOver(hostProgram(), [&](const std::vector<std::string>&) {
        ++starts;
        return std::optional<std::string>();
    })};
    const auto built = finderSync.menu(MenuKind::container, "/srv", {});
    ASSERT_TRUE(built);
    test::StandInHost host("busy\n");
    std::optional<std::string> url;
    const std::string log =
        test::capturedLog([&] { url = finderSync.createFile(0, *built->context); });
    EXPECT_FALSE(url);
    EXPECT_NE(log.find("ERROR com.orvane.tessary[finder-sync] Could not hand the request to the "
                       "app: the host refused the request\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(starts, 0);
}

// Runs tessary-menu with `arguments` and returns what it printed.
std::string runMenuTool(const std::string& arguments, int* status = nullptr)
{
    const std::string command = std::string(TESSARY_MENU_TOOL) + " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof(buffer), pipe)) {
        out.append(buffer, n);
    }
    const int result = ::pclose(pipe);
    if (status != nullptr) {
        *status = WEXITSTATUS(result);
    }
    return out;
}

TEST_F(HandOverTest, TheMenuToolPrintsTheMenuAndHandsOverAChoice)
{
    test::storeTemplates(
        {test::makeTemplate(" Notes ", "notes", "txt"), test::makeTemplate("", "run", "sh")}, 1);
    EXPECT_EQ(runMenuTool("--kind sidebar"), "null\n");
    const auto menu = nlohmann::json::parse(runMenuTool("--kind container --target /srv"));
    const auto expected = nlohmann::json::parse(R"({"items": [
        {"title": "New run.sh", "tag": 1, "image": "doc.badge.plus", "icon": "document-new-symbolic"},
        {"title": "Tessary", "image": "doc.on.doc", "icon": "edit-copy-symbolic", "submenu": [
            {"title": "Notes", "tag": 0, "image": "doc.text", "icon": "text-x-generic-symbolic"},
            {"title": "run.sh", "tag": 1, "image": "terminal", "icon": "utilities-terminal-symbolic"}
        ]}]})");
    EXPECT_EQ(menu, expected);

    test::StandInHost host;
    int status = -1;
    const std::string printed =
        runMenuTool("--kind items --selected '/srv/x y/z.txt' --choose 0", &status);
    EXPECT_EQ(status, 0);
    const auto message = host.message();
    ASSERT_TRUE(message);
    ASSERT_EQ(message->urls.size(), 1u);
    EXPECT_EQ(printed, message->urls.front() + "\n");
    EXPECT_EQ(verified(message->urls.front()), (CreateRequest{"/srv/x y", 0}));

    EXPECT_EQ(runMenuTool("--kind items --selected /srv/x --choose 5", &status), "");
    EXPECT_EQ(status, 1);
}

} // namespace
} // namespace tessary

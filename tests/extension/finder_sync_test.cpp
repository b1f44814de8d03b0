// The extension object: construction, what each menu build records, the folder a request
// goes to, and the create action's refusals as they appear in the log.
#include "finder_sync.h"

#include "extension_test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessary {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "com.orvane.tessary[finder-sync] ";

class FinderSyncTest : public test::ExtensionTest {
protected:
    // A host program that does not exist: nothing is ever started by these tests.
    FinderSync make() const { return FinderSync(HostHandOver(scratchFolder() / "no-host")); }

    static std::string line(std::string_view level, std::string_view message)
    {
        return std::string(level) + " " + std::string(kPrefix) + std::string(message) + "\n";
    }
};

TEST_F(FinderSyncTest, StartsFromTheStoredSettingsAndTheContainerKind)
{
    const auto notes = test::makeTemplate("Notes");
    test::storeTemplates({notes});
    std::optional<FinderSync> finderSync;
    const std::string log = test::capturedLog([&] { finderSync.emplace(make()); });
    EXPECT_EQ(log, line("INFO", "Finder Sync extension launched"));
    EXPECT_EQ(finderSync->lastMenuKind(), MenuKind::container);
    EXPECT_EQ(finderSync->settings().templates, std::vector{notes});
}

TEST_F(FinderSyncTest, SidebarAndToolbarGiveNoMenuAndChangeNothing)
{
    FinderSync finderSync = make();
    const auto first = test::makeTemplate("First");
    test::storeTemplates({first});
    ASSERT_TRUE(finderSync.menu(MenuKind::items, "/tmp", {"/tmp"}));
    test::storeTemplates({test::makeTemplate("Second"), test::makeTemplate("Third")});
    for (const MenuKind kind : {MenuKind::sidebar, MenuKind::toolbar}) {
        EXPECT_FALSE(finderSync.menu(kind, "/tmp", {}));
        EXPECT_EQ(finderSync.lastMenuKind(), MenuKind::items);
        EXPECT_EQ(finderSync.settings().templates, std::vector{first});
    }
}

TEST_F(FinderSyncTest, EveryBuildReloadsTheSettingsAndKeepsItsOwnContext)
{
    FinderSync finderSync = make();
    const auto a = test::makeTemplate("A");
    const auto b = test::makeTemplate("B");
    test::storeTemplates({a, b}, 1);
    const auto first = finderSync.menu(MenuKind::container, "/srv", {});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->menu.items.front().title, "New B");

    test::storeTemplates({a});
    const auto second = finderSync.menu(MenuKind::items, "/srv/x", {"/srv/x", "/srv/y"});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->menu.items.size(), 1u);
    EXPECT_EQ(finderSync.lastMenuKind(), MenuKind::items);

    EXPECT_EQ(first->context->kind, MenuKind::container);
    EXPECT_EQ(first->context->targeted, "/srv");
    EXPECT_EQ(first->context->settings->templates.size(), 2u);
    EXPECT_EQ(second->context->selected, (std::vector<std::string>{"/srv/x", "/srv/y"}));
    EXPECT_EQ(second->context->settings->templates.size(), 1u);

    // With no templates there is no menu, but the build still counts.
    test::storeTemplates({});
    EXPECT_FALSE(finderSync.menu(MenuKind::container, "/srv", {}));
    EXPECT_EQ(finderSync.lastMenuKind(), MenuKind::container);
    EXPECT_TRUE(finderSync.settings().templates.empty());
}

TEST_F(FinderSyncTest, TargetDirectoryFollowsTheMenuKind)
{
    const fs::path root = scratchFolder();
    fs::create_directory(root / "folder");
    std::ofstream(root / "file.txt") << "x";
    const std::string folder = (root / "folder").string();
    const std::string file = (root / "file.txt").string();
    const std::string missing = (root / "missing").string();
    const std::string here = root.string();
    using Paths = std::vector<std::string>;
    struct Row {
        const char* label;
        MenuKind kind;
        std::optional<std::string> targeted;
        Paths selected;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"container: the targeted folder", MenuKind::container, folder, {}, folder},
        {"container: a targeted file is taken as is", MenuKind::container, file, {file}, file},
        {"container: a missing target too", MenuKind::container, missing, {}, missing},
        {"container: beside the first selected",
         MenuKind::container,
         std::nullopt,
         {file, "/elsewhere/x"},
         here},
        {"container: nothing", MenuKind::container, std::nullopt, {}, std::nullopt},
        {"items: a selected folder is not entered", MenuKind::items, folder, {folder}, here},
        {"items: only the first selected counts",
         MenuKind::items,
         folder,
         {file, "/elsewhere/x"},
         here},
        {"items: a targeted folder", MenuKind::items, folder, {}, folder},
        {"items: beside a targeted file", MenuKind::items, file, {}, here},
        {"items: beside a missing target", MenuKind::items, missing, {}, here},
        {"items: a folder's trailing slash", MenuKind::items, std::nullopt, {folder + "/"}, here},
        {"items: the root", MenuKind::items, std::nullopt, {"/"}, "/"},
        {"items: nothing", MenuKind::items, std::nullopt, {}, std::nullopt},
    };
    const FinderSync finderSync = make();
    for (const Row& row : rows) {
        const MenuContext context{row.kind, row.targeted, row.selected, nullptr};
        std::optional<std::string> result;
        const std::string log =
            test::capturedLog([&] { result = finderSync.targetDirectory(context); });
        EXPECT_EQ(result, row.expected) << row.label;
        EXPECT_EQ(log,
                  line("DEBUG", "target: " + row.targeted.value_or("nil") +
                                    ", selected: " + std::to_string(row.selected.size()) +
                                    ", menu kind: " + std::to_string(static_cast<int>(row.kind))))
            << row.label;
    }
}

TEST_F(FinderSyncTest, RefusalsAreLoggedAndSendNothing)
{
    test::storeTemplates(
        {test::makeTemplate("A"), test::makeTemplate("B"), test::makeTemplate("C")});
    FinderSync finderSync = make();
    const auto threeTemplates = finderSync.menu(MenuKind::container, "/srv", {});
    ASSERT_TRUE(threeTemplates);
    const auto base = *threeTemplates->context;
    auto withPaths = [&](std::optional<std::string> targeted, std::vector<std::string> selected) {
        MenuContext context = base;
        context.targeted = std::move(targeted);
        context.selected = std::move(selected);
        return context;
    };
    struct Row {
        std::int64_t tag;
        MenuContext context;
        std::string error;
    };
    const Row rows[] = {
        {-1, base, "createFile: no template for menu tag -1"},
        {3, base, "createFile: no template for menu tag 3"},
        {0, withPaths(std::nullopt, {}), "createFile: Finder provided no target directory"},
        {2, withPaths("relative/folder", {}),
         "createFile: could not build a request for relative/folder"},
    };
    for (const Row& row : rows) {
        std::optional<std::string> url;
        const std::string log =
            test::capturedLog([&] { url = finderSync.createFile(row.tag, row.context); });
        EXPECT_FALSE(url) << row.error;
        EXPECT_NE(log.find(line("ERROR", row.error)), std::string::npos) << log;
        EXPECT_EQ(log.find("Asking the app"), std::string::npos) << log;
    }
}

TEST_F(FinderSyncTest, AnItemOfAnOlderMenuUsesTheTemplatesOfItsBuild)
{
    test::storeTemplates(
        {test::makeTemplate("A"), test::makeTemplate("B"), test::makeTemplate("C")});
    FinderSync finderSync = make();
    const auto older = finderSync.menu(MenuKind::container, "/srv", {});
    test::storeTemplates({test::makeTemplate("A")});
    const auto newer = finderSync.menu(MenuKind::container, "/srv", {});
    ASSERT_TRUE(older && newer);

    const std::string olderLog =
        test::capturedLog([&] { finderSync.createFile(2, *older->context); });
    EXPECT_NE(olderLog.find(line("DEBUG", "Asking the app to create template 2 in /srv")),
              std::string::npos)
        << olderLog;
    // No host runs and the program is missing: the hand-over fails and says why.
    const std::string host = (scratchFolder() / "no-host").string();
    EXPECT_NE(
        olderLog.find(line("ERROR", "Could not hand the request to the app: could not start " +
                                        host + ": Failed to execute child process “" + host +
                                        "” (No such file or directory)")),
        std::string::npos)
        << olderLog;

    const std::string newerLog =
        test::capturedLog([&] { finderSync.createFile(2, *newer->context); });
    EXPECT_NE(newerLog.find(line("ERROR", "createFile: no template for menu tag 2")),
              std::string::npos)
        << newerLog;
}

} // namespace
} // namespace tessary

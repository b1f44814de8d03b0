// The extension object: the folder a request goes to, and an item of an older menu that
// keeps the templates of its build.
#include "extension/menu_extension.h"

#include "test_support.h"

namespace tessary {
namespace {

class MenuExtensionTest : public test::ConfigFolderTest {
protected:
    static void storeTemplates(const std::vector<std::string>& names)
    {
        SharedSettings settings;
        settings.templates.clear();
        for (const std::string& name : names) {
            settings.templates.push_back({Uuid::random(), name, "untitled", "txt", ""});
        }
        ASSERT_FALSE(settings.save());
    }

    // A host program that does not exist: nothing is ever started by these tests.
    MenuExtension menuExtension{HostHandOver("/nonexistent/tessary")};
};

TEST_F(MenuExtensionTest, TheTargetFolderFollowsTheMenuKind)
{
    using enum MenuKind;
    fs::create_directory(scratchFolder() / "folder");
    std::ofstream(scratchFolder() / "file.txt") << "x";
    const std::string here = scratchFolder().string();
    const std::string folder = here + "/folder";
    const std::string file = here + "/file.txt";
    const std::string missing = here + "/missing";
    using Path = std::optional<std::string>;
    // The menu's kind, the targeted item, the selected ones; the folder the file goes to.
    // clang-format off
    const std::tuple<MenuKind, Path, std::vector<std::string>, Path> rows[] = {
        // The folder's background: the target as it is, or beside the first selected item.
        {container, folder, {}, folder}, {container, file, {file}, file}, {container, missing, {}, missing},
        {container, {}, {file, "/elsewhere/x"}, here}, {container, {}, {}, {}},
        // Items: beside the first selected item, else the targeted folder or beside the target.
        {items, folder, {folder}, here}, {items, folder, {file, "/elsewhere/x"}, here},
        {items, folder, {}, folder}, {items, file, {}, here}, {items, missing, {}, here},
        {items, {}, {folder + "/"}, here}, {items, {}, {"/"}, "/"}, {items, {}, {}, {}}};
    // clang-format on
    for (const auto& [kind, targeted, selected, expected] : rows) {
        Path target;
        test::capturedLog([&] {
            target = menuExtension.targetDirectory({kind, targeted, selected, nullptr});
        });
        EXPECT_EQ(target, expected) << static_cast<int>(kind) << " " << targeted.value_or("-")
                                    << " " << ::testing::PrintToString(selected);
    }
}

TEST_F(MenuExtensionTest, AnItemOfAnOlderMenuUsesTheTemplatesOfItsBuild)
{
    storeTemplates({"A", "B", "C"});
    const auto older = menuExtension.menu(MenuKind::container, "/srv", {});
    storeTemplates({"A"});
    const auto newer = menuExtension.menu(MenuKind::container, "/srv", {});
    ASSERT_TRUE(older && newer);
    const std::string olderLog =
        test::capturedLog([&] { menuExtension.createFile(2, *older->context); });
    EXPECT_NE(olderLog.find("Asking the app to create template 2 in /srv\n"), std::string::npos)
        << olderLog;
    const std::string newerLog =
        test::capturedLog([&] { menuExtension.createFile(2, *newer->context); });
    EXPECT_NE(newerLog.find("createFile: no template for menu tag 2\n"), std::string::npos)
        << newerLog;
}

} // namespace
} // namespace tessary

// The extension object: the folder a request goes to, and an item of an older menu that
// keeps the templates of its build.
#include "extension/menu_extension.h"

#include "test_support.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;

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
    const struct {
        MenuKind kind;
        std::optional<std::string> targeted;
        std::vector<std::string> selected;
        std::optional<std::string> expected;
    } rows[] = {
        // The folder's background: the target as it is, or beside the first selected item.
        {container, folder, {}, folder},
        {container, file, {file}, file},
        {container, missing, {}, missing},
        {container, {}, {file, "/elsewhere/x"}, here},
        {container, {}, {}, {}},
        // Items: beside the first selected item, else the targeted folder or beside the target.
        {items, folder, {folder}, here},
        {items, folder, {file, "/elsewhere/x"}, here},
        {items, folder, {}, folder},
        {items, file, {}, here},
        {items, missing, {}, here},
        {items, {}, {folder + "/"}, here},
        {items, {}, {"/"}, "/"},
        {items, {}, {}, {}},
    };
    for (const auto& row : rows) {
        std::optional<std::string> target;
        test::capturedLog([&] {
            target = menuExtension.targetDirectory({row.kind, row.targeted, row.selected, nullptr});
        });
        EXPECT_EQ(target, row.expected)
            << static_cast<int>(row.kind) << " " << row.targeted.value_or("-") << " "
            << ::testing::PrintToString(row.selected);
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

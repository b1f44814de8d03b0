// The file creator on a real folder: free names, links that occupy names, the contents
// written as they are, names that cannot be used, failures and the grant's confinement.
#include "file_creator.h"

#include "linux_bookmarks.h"
#include "linux_workspace.h"
#include "test_support.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;

class FileCreatorTest : public test::ConfigFolderTest {
protected:
    // The created file's name, or the error's description.
    std::string create(const std::string& base, const std::string& ext, const fs::path& folder,
                       const std::string& contents = "")
    {
        try {
            return creator.create({Uuid::random(), "Sample", base, ext, contents}, folder, {})
                .filename();
        } catch (const FileCreatorError& error) {
            return error.what();
        }
    }

    LinuxWorkspace workspace; // without a session bus: revealing only logs
    LinuxBookmarks bookmarks;
    FileCreator creator{workspace, bookmarks};
};

TEST_F(FileCreatorTest, PicksTheFirstFreeNameAndChangesNothingElse)
{
    const struct {
        std::vector<std::string> present;
        const char* base;
        const char* ext;
        const char* expected;
    } rows[] = {
        {{}, "untitled", "txt", "untitled.txt"},
        {{"untitled.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled.txt", "untitled-2.txt"}, "untitled", "txt", "untitled-3.txt"},
        {{"untitled-2.txt"}, "untitled", "txt", "untitled.txt"},
        {{"untitled.txt", "untitled-3.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled.txt", "untitled-02.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled"}, "untitled", "", "untitled-2"},
        {{"untitled.txt"}, "untitled", "", "untitled"},
        {{"Untitled.txt"}, "untitled", "txt", "untitled.txt"},
        {{"a b.tar.gz"}, "a b", "tar.gz", "a b-2.tar.gz"},
        {{".env.local"}, ".env", "local", ".env-2.local"},
    };
    int rowNumber = 0;
    for (const auto& row : rows) {
        const fs::path folder = scratchFolder() / std::to_string(++rowNumber);
        fs::create_directories(folder);
        for (const auto& name : row.present) {
            std::ofstream(folder / name) << "keep";
        }
        EXPECT_EQ(create(row.base, row.ext, folder, "new"), row.expected);
        EXPECT_EQ(test::readFile(folder / row.expected), "new");
        for (const auto& name : row.present) {
            EXPECT_EQ(test::readFile(folder / name), "keep") << name << " was changed";
        }
    }
}

TEST_F(FileCreatorTest, LinksOccupyTheirNamesAndAreNeverFollowed)
{
    std::ofstream(configHome().parent_path() / "outside.txt") << "outside";
    fs::create_symlink(scratchFolder() / "gone", scratchFolder() / "untitled.txt"); // dangling
    fs::create_symlink(configHome().parent_path() / "outside.txt",
                       scratchFolder() / "untitled-2.txt");
    const std::string contents("nul\0inside\r\nGrüße ✓\n", 24);
    EXPECT_EQ(create("untitled", "txt", scratchFolder(), contents), "untitled-3.txt");
    EXPECT_EQ(test::readFile(scratchFolder() / "untitled-3.txt"), contents);
    EXPECT_EQ(test::readFile(configHome().parent_path() / "outside.txt"), "outside");
    EXPECT_FALSE(fs::exists(scratchFolder() / "gone"));
}

TEST_F(FileCreatorTest, RefusesUnusableNamesAndNamesWhatFailed)
{
    const std::string invalid =
        "The template “Sample” has a file name or extension that can’t "
        "be used. Names can’t be empty, “.” or “..”, or contain “/” or “:”.";
    std::ofstream(scratchFolder() / "plain-file");
    const struct {
        const char* base;
        const char* ext;
        const char* folder; // under the scratch folder
        std::string error;
    } rows[] = {
        {"", "txt", "", invalid},
        {"..", "txt", "", invalid},
        {"a/b", "txt", "", invalid},
        {"a:b", "txt", "", invalid},
        {"untitled", ".", "", invalid},
        {"untitled", "../b", "", invalid},
        {"a", "txt", "missing", "Could not create a.txt: No such file or directory"},
        {"a", "txt", "plain-file", "Could not create a.txt: Not a directory"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(create(row.base, row.ext, scratchFolder() / row.folder), row.error)
            << row.base << "." << row.ext;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(scratchFolder()), fs::directory_iterator()), 1);
}

TEST_F(FileCreatorTest, AnOpenScopeConfinesWritesToItsFolder)
{
    const fs::path granted = scratchFolder() / "granted";
    fs::create_directories(granted / "deeper");
    fs::create_directories(scratchFolder() / "sibling");
    fs::create_symlink(scratchFolder() / "sibling", granted / "link-out");
    ASSERT_TRUE(bookmarks.startAccessing(granted));
    EXPECT_EQ(create("a", "txt", granted / "deeper"), "a.txt");
    for (const fs::path& outside :
         {scratchFolder() / "sibling", granted / "link-out", scratchFolder()}) {
        EXPECT_EQ(create("a", "txt", outside), "Could not create a.txt: Operation not permitted");
    }
    bookmarks.stopAccessing(granted);
    EXPECT_EQ(create("a", "txt", scratchFolder() / "sibling"), "a.txt");
}

} // namespace
} // namespace tessary

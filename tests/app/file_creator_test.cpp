// The file creator on a real folder: free names, links, contents, names that cannot be
// used, missing folders and the grant's scope.
#include "file_creator.h"

#include "linux_bookmarks.h"
#include "linux_workspace.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class FileCreatorTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        folder = configHome().parent_path() / "work";
        fs::create_directories(folder);
    }

    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder)) {
            found.insert(entry.path().filename().string());
        }
        return found;
    }
    static std::string contentsOf(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void touch(const std::string& name) const { std::ofstream(folder / name) << "keep"; }

    fs::path folder;
    LinuxWorkspace workspace;
    LinuxBookmarks bookmarks;
    FileCreator creator{workspace, bookmarks};
    SharedSettings settings;
};

FileTemplate makeTemplate(std::string baseName, std::string ext, std::string contents = "")
{
    return {Uuid::random(), "Sample", std::move(baseName), std::move(ext), std::move(contents)};
}

TEST_F(FileCreatorTest, PicksTheFirstFreeName)
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
        {{}, ".env", "local", ".env.local"},
        {{"a b.tar.gz"}, "a b", "tar.gz", "a b-2.tar.gz"},
    };
    for (const auto& row : rows) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& name : row.present) {
            touch(name);
        }
        const fs::path created = creator.create(makeTemplate(row.base, row.ext), folder, settings);
        EXPECT_EQ(created, folder / row.expected);
        for (const auto& name : row.present) {
            EXPECT_EQ(contentsOf(folder / name), "keep") << name << " was changed";
        }
    }
}

TEST_F(FileCreatorTest, ALongNumberedRunIsSkippedInOneGo)
{
    touch("untitled.txt");
    for (int n = 2; n <= 300; ++n) {
        touch("untitled-" + std::to_string(n) + ".txt");
    }
    EXPECT_EQ(creator.create(makeTemplate("untitled", "txt"), folder, settings).filename(),
              "untitled-301.txt");
}

TEST_F(FileCreatorTest, SymbolicLinksOccupyTheirNamesAndAreNeverFollowed)
{
    const fs::path outside = configHome().parent_path() / "outside.txt";
    std::ofstream(outside) << "outside";
    fs::create_symlink(outside, folder / "untitled.txt");
    fs::create_symlink(folder / "gone", folder / "untitled-2.txt"); // dangling
    const fs::path created =
        creator.create(makeTemplate("untitled", "txt", "new"), folder, settings);
    EXPECT_EQ(created.filename(), "untitled-3.txt");
    EXPECT_EQ(contentsOf(outside), "outside");
    EXPECT_FALSE(fs::exists(folder / "gone"));
}

TEST_F(FileCreatorTest, WritesTheContentsByteForByte)
{
    for (const std::string& contents :
         {std::string(), std::string("line one\r\nline two\n\n"), std::string("Grüße — ✓ 日本語\n"),
          std::string(100'000, 'x'), std::string("nul\0inside", 10)}) {
        const fs::path created =
            creator.create(makeTemplate("data", "bin", contents), folder, settings);
        EXPECT_EQ(contentsOf(created), contents);
    }
}

TEST_F(FileCreatorTest, UnusableNamesAreRefusedBeforeTouchingTheDisk)
{
    const struct {
        const char* base;
        const char* ext;
    } rows[] = {{"", "txt"},        {".", "txt"},        {"..", "txt"},
                {"a/b", "txt"},     {"a:b", "txt"},      {"untitled", "."},
                {"untitled", ".."}, {"untitled", "a/b"}, {"untitled", "x:y"}};
    for (const auto& row : rows) {
        FileTemplate fileTemplate = makeTemplate(row.base, row.ext);
        fileTemplate.name = "My “odd” one";
        try {
            creator.create(fileTemplate, folder, settings);
            ADD_FAILURE() << row.base << " / " << row.ext << " was accepted";
        } catch (const FileCreatorError& error) {
            EXPECT_EQ(error.kind(), FileCreatorError::Case::invalidName);
            EXPECT_STREQ(error.what(),
                         "The template “My “odd” one” has a file name or extension that can’t be "
                         "used. Names can’t be empty, “.” or “..”, or contain “/” or “:”.");
        }
    }
    EXPECT_TRUE(names().empty());
}

TEST_F(FileCreatorTest, FailuresNameTheFileAndTheReason)
{
    try {
        creator.create(makeTemplate("untitled", "txt"), folder / "missing", settings);
        ADD_FAILURE() << "created in a missing folder";
    } catch (const FileCreatorError& error) {
        EXPECT_EQ(error.kind(), FileCreatorError::Case::failed);
        EXPECT_EQ(error.path(), folder / "missing" / "untitled.txt");
        EXPECT_STREQ(error.what(), "Could not create untitled.txt: No such file or directory");
    }
    touch("plain-file");
    EXPECT_THROW(creator.create(makeTemplate("untitled", "txt"), folder / "plain-file", settings),
                 FileCreatorError);
}

TEST_F(FileCreatorTest, AnOpenScopeConfinesWritesToItsFolder)
{
    const fs::path granted = folder / "granted";
    const fs::path sibling = folder / "sibling";
    fs::create_directories(granted / "deeper");
    fs::create_directories(sibling);
    fs::create_symlink(sibling, granted / "link-out");
    ASSERT_TRUE(bookmarks.startAccessing(granted));
    EXPECT_NO_THROW(creator.create(makeTemplate("a", "txt"), granted / "deeper", settings));
    for (const fs::path& outside : {sibling, granted / "link-out", folder}) {
        try {
            creator.create(makeTemplate("a", "txt"), outside, settings);
            ADD_FAILURE() << "wrote outside the grant: " << outside;
        } catch (const FileCreatorError& error) {
            EXPECT_EQ(error.underlying(), std::errc::operation_not_permitted);
            EXPECT_STREQ(error.what(), "Could not create a.txt: Operation not permitted");
        }
    }
    bookmarks.stopAccessing(granted);
    EXPECT_NO_THROW(creator.create(makeTemplate("a", "txt"), sibling, settings));
}

TEST_F(FileCreatorTest, LogsTheCreatedPath)
{
    const std::string log = test::capturedLog(
        [&] { creator.create(makeTemplate("untitled", "txt"), folder, settings); });
    EXPECT_NE(log.find("INFO com.orvane.tessary[creator] Created " +
                       (folder / "untitled.txt").string() + "\n"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace tessary

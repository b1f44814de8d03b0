// The file creator on a real folder: free names (also where a listing misses a taken name),
// links that occupy names, the contents written as they are, names that cannot be used,
// failures and the grant's confinement.
#include "creation/file_creator.h"

#include "shared/create_request.h"
#include "platform/linux/linux_bookmarks.h"
#include "test_support.h"

namespace tessary {
namespace {

class FileCreatorTest : public test::ConfigFolderTest {
protected:
    // The created file's name, or the error's description.
    std::string create(const std::string& base, const std::string& ext, const fs::path& folder,
                       const std::string& contents = "")
    {
        try {
            return creator.create({Uuid::random(), "Sample", base, ext, contents}, folder)
                .filename();
        } catch (const FileCreatorError& error) {
            return error.what();
        }
    }

    LinuxBookmarks bookmarks;
    FileCreator creator{bookmarks};
};

TEST_F(FileCreatorTest, PicksTheFirstFreeNameAndChangesNothingElse)
{
    // The names present, the template's base name and extension, the name it gets.
    // clang-format off
    const std::tuple<std::vector<std::string>, std::string, std::string, std::string> rows[] = {
        {{}, "untitled", "txt", "untitled.txt"}, {{"untitled.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled.txt", "untitled-2.txt"}, "untitled", "txt", "untitled-3.txt"},
        {{"untitled-2.txt"}, "untitled", "txt", "untitled.txt"},
        {{"untitled.txt", "untitled-3.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled.txt", "untitled-02.txt"}, "untitled", "txt", "untitled-2.txt"},
        {{"untitled"}, "untitled", "", "untitled-2"}, {{"untitled.txt"}, "untitled", "", "untitled"},
        {{"Untitled.txt"}, "untitled", "txt", "untitled.txt"},
        {{"a b.tar.gz"}, "a b", "tar.gz", "a b-2.tar.gz"}, {{".env.local"}, ".env", "local", ".env-2.local"}};
    // clang-format on
    int rowNumber = 0;
    for (const auto& [present, base, ext, expected] : rows) {
        const fs::path folder = scratchFolder() / std::to_string(++rowNumber);
        fs::create_directories(folder);
        for (const auto& name : present) {
            std::ofstream(folder / name) << "keep";
        }
        EXPECT_EQ(create(base, ext, folder, "new"), expected);
        EXPECT_EQ(test::readFile(folder / expected), "new");
        for (const auto& name : present) {
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
    // The base name, the extension, the folder under the scratch folder, the error.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        {"", "txt", "", invalid}, {"..", "txt", "", invalid}, {"a/b", "txt", "", invalid},
        {"a:b", "txt", "", invalid}, {"untitled", ".", "", invalid}, {"untitled", "../b", "", invalid},
        {"a", "txt", "missing", "Could not create a.txt: No such file or directory"},
        {"a", "txt", "plain-file", "Could not create a.txt: Not a directory"}};
    // clang-format on
    for (const auto& [base, ext, folder, error] : rows) {
        EXPECT_EQ(create(base, ext, scratchFolder() / folder), error) << base << "." << ext;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(scratchFolder()), fs::directory_iterator()), 1);
}

// A link inside the grant to a folder whose real path is longer than PATH_MAX, so that it
// cannot be resolved as text: 17 names of 244 characters, reached through two relative links.
void makeLongEscape(const fs::path& outside, const fs::path& link)
{
    const std::string piece(244, 'd');
    std::string first = piece; // eight levels down, and the second link nine more
    for (int level = 1; level < 8; ++level) {
        first += "/" + piece;
    }
    int fd = ::open(outside.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < 17; ++level) {
        if (level == 8) {
            ASSERT_EQ(::symlinkat((first + "/" + piece).c_str(), fd, "second"), 0);
        }
        ASSERT_EQ(::mkdirat(fd, piece.c_str(), 0700), 0);
        const int next = ::openat(fd, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
    fs::create_directory_symlink(first, outside / "first");
    fs::create_directory_symlink(outside / "first" / "second", link);
}

TEST_F(FileCreatorTest, AnOpenScopeConfinesWritesToItsFolder)
{
    const fs::path granted = scratchFolder() / "granted";
    fs::create_directories(granted / "deeper");
    fs::create_directories(scratchFolder() / "sibling");
    fs::create_symlink(scratchFolder() / "sibling", granted / "link-out");
    makeLongEscape(scratchFolder() / "sibling", granted / "esc");
    ASSERT_TRUE(bookmarks.startAccessing(granted));
    EXPECT_EQ(create("a", "txt", granted / "deeper"), "a.txt");
    for (const fs::path& outside :
         {scratchFolder() / "sibling", granted / "link-out", granted / "esc", scratchFolder()}) {
        EXPECT_EQ(create("a", "txt", outside), "Could not create a.txt: Operation not permitted");
    }
    bookmarks.stopAccessing(granted);
    EXPECT_EQ(create("a", "txt", scratchFolder() / "sibling"), "a.txt");
}

// A case-insensitive file system, as on most USB sticks (exFAT through FUSE on a loop
// device): a name the folder listing misses is taken, so the next one is used.
TEST_F(FileCreatorTest, OnACaseInsensitiveStickTheNextNameIsUsed)
{
    const fs::path stick = scratchFolder() / "stick";
    const std::string image = (scratchFolder() / "stick.img").string();
    const fs::path device = scratchFolder() / "device";
    fs::create_directory(stick);
    if (::geteuid() != 0 ||
        test::runProgram("sh", {"-c", "truncate -s 16M " + image + " && mkfs.exfat " + image +
                                          " >/dev/null && losetup -f --show " + image + " >" +
                                          device.string()}) != 0) {
        GTEST_SKIP() << "needs root, exfatprogs and a loop device";
    }
    const std::string loop = test::readFile(device).substr(0, test::readFile(device).find('\n'));
    if (test::runProgram("mount.exfat-fuse", {loop, stick.string()}) != 0) {
        test::runProgram("losetup", {"-d", loop});
        GTEST_SKIP() << "needs FUSE";
    }
    std::ofstream(stick / "UNTITLED.TXT") << "taken";
    EXPECT_EQ(create("untitled", "txt", stick), "untitled-2.txt");
    EXPECT_EQ(create("untitled", "txt", stick), "untitled-3.txt");
    EXPECT_EQ(test::readFile(stick / "UNTITLED.TXT"), "taken");
    // No hard links there either: the request key is still created once.
    ::setenv("XDG_CONFIG_HOME", (stick / "config").c_str(), 1);
    const auto key = requestKey(DefaultsStore::appGroup());
    EXPECT_TRUE(key);
    EXPECT_EQ(requestKey(DefaultsStore::appGroup()), key);
    test::runProgram("sh", {"-c", "umount " + stick.string() + "; losetup -d " + loop});
}

} // namespace
} // namespace tessary

// Free names where a folder listing misses what the file system sees, and the grant where a
// path cannot be resolved as text: the file goes under the next free name, or nowhere.
#include "host_test_support.h"
#include "processes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class NamesAndGrantTest : public test::ConfigFolderTest {
protected:
    const FileTemplate text{Uuid::random(), "Text", "untitled", "txt", "hello"};
    test::ScriptedPrompts prompts;
    HostServices services{prompts};
};

// A case-insensitive file system, as on most USB sticks: exFAT through FUSE on a loop device.
TEST_F(NamesAndGrantTest, OnACaseInsensitiveStickTheNextNameIsUsed)
{
    const fs::path stick = scratchFolder() / "stick";
    const std::string image = (scratchFolder() / "stick.img").string();
    const fs::path device = scratchFolder() / "device";
    if (::geteuid() != 0 ||
        test::runProgram("sh", {"-c", "truncate -s 16M " + image + " && mkfs.exfat " + image +
                                          " >/dev/null && losetup -f --show " + image + " >" +
                                          device.string()}) != 0) {
        GTEST_SKIP() << "needs root, exfatprogs and a loop device";
    }
    const std::string loop = test::readFile(device).substr(0, test::readFile(device).find('\n'));
    fs::create_directory(stick);
    ASSERT_EQ(test::runProgram("mount.exfat-fuse", {loop, stick.string()}), 0);
    std::ofstream(stick / "UNTITLED.TXT") << "taken";
    EXPECT_NO_THROW({
        EXPECT_EQ(services.creator.create(text, stick, {}), stick / "untitled-2.txt");
        EXPECT_EQ(services.creator.create(text, stick, {}), stick / "untitled-3.txt");
    });
    EXPECT_EQ(test::readFile(stick / "UNTITLED.TXT"), "taken");
    // No hard links there either: the request key is still created once.
    ::setenv("XDG_CONFIG_HOME", (stick / "config").c_str(), 1);
    const auto key = requestKey(DefaultsStore::appGroup());
    EXPECT_TRUE(key);
    EXPECT_EQ(requestKey(DefaultsStore::appGroup()), key);
    test::runProgram("sh", {"-c", "umount " + stick.string() + "; losetup -d " + loop});
}

// The escape: a link inside the grant to a folder whose real path is longer than PATH_MAX,
// made of 17 names of 244 characters reached through two relative links.
TEST_F(NamesAndGrantTest, AFolderOutsideTheGrantIsRefusedWhateverItsPath)
{
    const fs::path granted = scratchFolder() / "granted";
    const fs::path outside = scratchFolder() / "outside";
    fs::create_directories(granted);
    fs::create_directories(outside);
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
    fs::create_directory_symlink(outside / "first" / "second", granted / "esc");

    services.diskAccess.saveGrant(granted);
    const SharedSettings settings = SharedSettings::load();
    EXPECT_THROW(services.diskAccess.withDiskAccess(
                     settings, [&] { services.creator.create(text, granted / "esc", settings); }),
                 FileCreatorError);
    EXPECT_FALSE(fs::exists(granted / "esc" / "untitled.txt"));
}

} // namespace
} // namespace tessary

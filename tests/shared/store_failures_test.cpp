// Stored values that exist but cannot be read, a store that cannot be written, and what
// killed writers leave behind: nothing blocks, nothing unreadable is replaced, no request is
// signed with a key nobody stored, and every failure is logged.
#include "shared/create_request.h"
#include "shared/shared_settings.h"

#include "test_support.h"

#include <sys/file.h>
#include <sys/stat.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class StoreFailuresTest : public test::ConfigFolderTest {};

TEST_F(StoreFailuresTest, AValueThatCannotBeReadIsNeitherWaitedForNorReplacedNorSignedWith)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    for (const std::string what : {"a folder", "a FIFO", "a symbolic link"}) {
        for (const std::string_view key : {kSettingsKey, kRequestKeyKey}) {
            const fs::path path = store.folder() / key;
            fs::remove_all(path);
            if (what == "a folder") {
                fs::create_directory(path);
            } else if (what == "a FIFO") {
                ::mkfifo(path.c_str(), 0600);
            } else {
                fs::create_symlink(scratchFolder(), path);
            }
            const auto use = [&] {
                static_cast<void>(SharedSettings::load(store));
                EXPECT_EQ(static_cast<bool>(SharedSettings::defaults().save(store)),
                          key == kSettingsKey)
                    << what;
                EXPECT_EQ(requestKey(store), requestKey(store)) << "a new key for every request";
            };
            ASSERT_EXIT((::alarm(5), use(), std::exit(0)), ::testing::ExitedWithCode(0), "")
                << "reading " << what << " named " << key << " blocked";
            const std::string log = test::capturedLog(use);
            EXPECT_NE(log.find("Could not read the "), std::string::npos) << what << key;
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path))) << "replaced " << key;
            fs::remove_all(path);
        }
    }

    // Without a store at all.
    std::ofstream(scratchFolder() / "nowhere") << "in the way";
    ::setenv("XDG_CONFIG_HOME", (scratchFolder() / "nowhere").c_str(), 1);
    const DefaultsStore nowhere = DefaultsStore::appGroup();
    const std::string log = test::capturedLog([&] {
        EXPECT_EQ(requestKey(nowhere), requestKey(nowhere)) << "a new key for every request";
        EXPECT_TRUE(SharedSettings::defaults().save(nowhere));
    });
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << "one line per failure:\n" << log;
}

TEST_F(StoreFailuresTest, AWriteRemovesTemporaryFilesThatKilledWritersLeft)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    const fs::path stale = store.folder() / ".settings.Ab3dEf";
    const fs::path live = store.folder() / ".requestKey.Gh7jKl";
    std::ofstream(stale) << "{\"templates\":";
    std::ofstream(live) << "half";
    const int writer = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0) << "a writer still at work holds its file";
    ASSERT_FALSE(SharedSettings::defaults().save(store));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    ::close(writer);
}

} // namespace
} // namespace tessary

// Stored values that exist but cannot be read, a store that cannot be written, and what
// killed writers leave behind: nothing blocks, nothing unreadable is replaced, no request is
// signed with a key nobody stored, and every failure is logged.
#include "create_request.h"
#include "shared_settings.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class StoreFailuresTest : public test::ConfigFolderTest {};

struct Unreadable {
    const char* what;
    std::function<void(const fs::path&)> make;
};

TEST_F(StoreFailuresTest, AValueThatCannotBeReadIsNeitherWaitedForNorReplaced)
{
    const fs::path outside = scratchFolder() / "outside";
    std::ofstream(outside) << "{}";
    const Unreadable rows[] = {
        {"a folder",
         [](const fs::path& path) {
             fs::create_directory(path);
         }},
        {"a FIFO",
         [](const fs::path& path) {
             ::mkfifo(path.c_str(), 0600);
         }},
        {"a symbolic link",
         [&](const fs::path& path) {
             fs::create_symlink(outside, path);
         }},
    };
    const DefaultsStore store = DefaultsStore::appGroup();
    for (const Unreadable& row : rows) {
        for (const std::string_view key : {kSettingsKey, kRequestKeyKey}) {
            const fs::path path = store.folder() / key;
            fs::remove_all(path);
            row.make(path);
            const auto use = [&] {
                static_cast<void>(SharedSettings::load(store));
                EXPECT_EQ(static_cast<bool>(SharedSettings::defaults().save(store)),
                          key == kSettingsKey)
                    << row.what;
                EXPECT_EQ(requestKey(store), requestKey(store)) << "a new key for every request";
            };
            ASSERT_EXIT((::alarm(5), use(), std::exit(0)), ::testing::ExitedWithCode(0), "")
                << "reading " << row.what << " named " << key << " blocked";
            const std::string log = test::capturedLog(use);
            EXPECT_NE(log.find("ERROR"), std::string::npos) << row.what << " " << key;
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path))) << "replaced " << key;
            fs::remove_all(path);
        }
    }
}

TEST_F(StoreFailuresTest, WithoutAStoreNoRequestIsSigned)
{
    fs::create_directories(configHome());
    std::ofstream(configHome() / "tessary") << "in the way";
    const DefaultsStore store = DefaultsStore::appGroup();
    const std::string log = test::capturedLog([&] {
        EXPECT_EQ(requestKey(store), requestKey(store)) << "a new key for every request";
        EXPECT_TRUE(SharedSettings::defaults().save(store));
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

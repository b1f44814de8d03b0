// The per-user defaults store: typed values, modes, create-if-absent and atomic replacement
// as seen from another process.
#include "defaults_store.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class DefaultsStoreTest : public test::ConfigFolderTest {};

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

mode_t modeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST_F(DefaultsStoreTest, FoldersAre0700AndFiles0600WhateverTheUmask)
{
    const mode_t previous = ::umask(0);
    const auto store = DefaultsStore::open("group.com.orvane.tessary");
    ASSERT_TRUE(store);
    ASSERT_FALSE(store->setData("requestKey", bytesOf(std::string(32, 'k'))));
    ASSERT_FALSE(store->createIfAbsent("other", bytesOf("x")));
    ::umask(previous);
    EXPECT_EQ(modeOf(configHome() / "tessary"), 0700u);
    EXPECT_EQ(modeOf(store->folder()), 0700u);
    EXPECT_EQ(modeOf(store->folder() / "requestKey"), 0600u);
    EXPECT_EQ(modeOf(store->folder() / "other"), 0600u);
    EXPECT_EQ(store->folder(), domainFolder("group.com.orvane.tessary"));
}

TEST_F(DefaultsStoreTest, TypedValuesReadBackAndOtherFormsReadAsAbsent)
{
    const auto store = DefaultsStore::open("com.orvane.tessary");
    ASSERT_TRUE(store);
    const auto when =
        DefaultsStore::Clock::time_point(std::chrono::microseconds(1'796'579'721'123'456));
    ASSERT_FALSE(store->setString("settingsPane", "templates"));
    ASSERT_FALSE(store->setBool("didRegisterLoginItem", true));
    ASSERT_FALSE(store->setDate("lastUpdateCheck", when));
    EXPECT_EQ(store->string("settingsPane"), "templates");
    EXPECT_EQ(store->boolean("didRegisterLoginItem"), true);
    EXPECT_EQ(store->date("lastUpdateCheck"), when);

    const struct {
        const char* stored;
        bool isBool;
        bool isDate;
    } rows[] = {
        {"yes", false, false},
        {"TRUE", false, false},
        {"true\n", false, false},
        {"2026-12-06", false, false},
        {"2026-12-06T17:49:39Z", false, true},
        {"false", true, false},
    };
    for (const auto& row : rows) {
        ASSERT_FALSE(store->setString("value", row.stored));
        EXPECT_EQ(store->boolean("value").has_value(), row.isBool) << row.stored;
        EXPECT_EQ(store->date("value").has_value(), row.isDate) << row.stored;
    }
    ASSERT_FALSE(store->setData("value", bytesOf("\xFF\xFE")));
    EXPECT_EQ(store->string("value"), std::nullopt) << "not UTF-8";
    EXPECT_EQ(store->data("missing"), std::nullopt);
    ASSERT_FALSE(store->remove("value"));
    EXPECT_EQ(store->data("value"), std::nullopt);
    EXPECT_FALSE(store->remove("value")) << "removing a missing value is fine";
}

TEST_F(DefaultsStoreTest, KeysThatAreNotPlainFileNamesAreRefused)
{
    const auto store = DefaultsStore::open("com.orvane.tessary");
    ASSERT_TRUE(store);
    for (const std::string& key : std::vector<std::string>{
             "", ".hidden", "a/b", "..", std::string("a\0b", 3), std::string(256, 'k')}) {
        EXPECT_TRUE(store->setData(key, bytesOf("x"))) << key;
        EXPECT_EQ(store->data(key), std::nullopt) << key;
    }
    EXPECT_FALSE(DefaultsStore::open("../escape"));
}

TEST_F(DefaultsStoreTest, CreateIfAbsentNeverReplaces)
{
    const auto store = DefaultsStore::open("com.orvane.tessary");
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->createIfAbsent("once", bytesOf("first")));
    EXPECT_EQ(store->createIfAbsent("once", bytesOf("second")), std::errc::file_exists);
    EXPECT_EQ(store->string("once"), "first");
    std::size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(store->folder())) {
        leftovers += entry.path().filename().string().starts_with(".once") ? 1u : 0u;
    }
    EXPECT_EQ(leftovers, 0u) << "temporary files are cleaned up";
}

TEST_F(DefaultsStoreTest, AReaderNeverSeesAPartialValueWhileAnotherProcessRewritesIt)
{
    const auto store = DefaultsStore::open("group.com.orvane.tessary");
    ASSERT_TRUE(store);
    const std::string first(200'000, 'a');
    const std::string second(70'000, 'b');
    ASSERT_FALSE(store->setData("settings", bytesOf(first)));

    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        for (int i = 0; i < 400; ++i) {
            if (store->setData("settings", bytesOf(i % 2 == 0 ? second : first))) {
                ::_exit(1);
            }
        }
        ::_exit(0);
    }
    int reads = 0;
    int torn = 0;
    int status = 0;
    while (::waitpid(writer, &status, WNOHANG) == 0 || reads < 50) {
        const auto value = store->data("settings");
        ASSERT_TRUE(value);
        const std::string text(value->begin(), value->end());
        torn += text == first || text == second ? 0 : 1;
        ++reads;
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}

} // namespace
} // namespace tessary

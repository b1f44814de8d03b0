// The real `tessary` when things go wrong: a grant or a forget that cannot be stored says so
// and fails.
#include "create_request.h"
#include "host_channel.h"
#include "processes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class HostFailuresTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        ::setenv("TESSARY_LOG", "stderr", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    }
    // Runs tessary to its end; its exit status, and its stdout and stderr together.
    std::pair<int, std::string> run(const std::vector<std::string>& arguments)
    {
        const fs::path out = scratchFolder() / "out.txt";
        const int status = test::runProgram(TESSARY_HOST_BINARY, arguments, {out, out});
        return {status, test::readFile(out)};
    }
    fs::path autostartEntry() const
    {
        return configHome() / "autostart" / "com.orvane.tessary.desktop";
    }
};

TEST_F(HostFailuresTest, GrantAndForgetSayWhatTheyDidAndFailWhenNothingWasStored)
{
    const fs::path settings = domainFolder("group.com.orvane.tessary") / "settings";
    const std::string unreadable =
        "The saved settings can’t be read, so Tessary left them as they are.";
    struct Row {
        std::vector<std::string> arguments;
        bool settingsReadable;
        int status;
        std::string output;
        bool startsAtLogin;
    } rows[] = {
        {{"grant", "/tmp"}, false, 1, "Couldn't save disk access\n" + unreadable, false},
        {{"forget"}, false, 1, "Couldn't forget disk access\n" + unreadable, false},
        {{"grant", "/tmp"}, true, 0, "starts when you log in", true},
        {{"forget"}, true, 0, autostartEntry().string(), true},
    };
    for (const Row& row : rows) {
        fs::remove_all(settings);
        if (!row.settingsReadable) {
            fs::create_directories(settings);
        }
        const auto [status, output] = run(row.arguments);
        EXPECT_EQ(status, row.status) << row.arguments[0] << ": " << output;
        EXPECT_NE(output.find(row.output), std::string::npos) << output;
        if (row.status != 0) {
            EXPECT_EQ(output.find("Granted access"), std::string::npos) << output;
        }
        EXPECT_EQ(fs::exists(autostartEntry()), row.startsAtLogin) << output;
    }
}

} // namespace
} // namespace tessary

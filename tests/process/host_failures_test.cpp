// The real `tessary` when things go wrong: a grant or a forget that cannot be stored says so
// and fails, and a host whose descriptors run out keeps its socket and serves again.
#include "shared/create_request.h"
#include "shared/host_channel.h"
#include "test_support.h"

#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class HostFailuresTest : public test::ConfigFolderTest {
protected:
    // Runs tessary to its end; its exit status, and what it printed.
    std::pair<int, std::string> run(const std::vector<std::string>& arguments,
                                    const std::string& program = TESSARY_HOST_BINARY)
    {
        const fs::path out = scratchFolder() / "out.txt";
        const int status = test::runProgram(program, arguments, out);
        return {status, test::readFile(out)};
    }
};

TEST_F(HostFailuresTest, GrantAndForgetSayWhatTheyDidAndFailWhenNothingWasStored)
{
    const fs::path settings = configHome() / "tessary" / "group.com.orvane.tessary" / "settings";
    const fs::path entry = configHome() / "autostart" / "com.orvane.tessary.desktop";
    const std::string unreadable =
        "The saved settings can’t be read, so Tessary left them as they are.";
    // Each run goes through sh, which can first make the shared folder read-only: by its
    // mode, or for root by a read-only bind mount.
    const std::string readOnly =
        ::geteuid() == 0
            ? "unshare -m sh -c 'mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro "
              "\"$0\" \"$0\" && exec \"$@\"' \"$0\" \"$@\""
            : "chmod 500 \"$0\" && exec \"$@\"";
    struct Row {
        std::vector<std::string> arguments;
        bool settingsReadable;
        int status;
        std::string output;
        bool startsAtLogin;
        std::string before = "exec \"$@\"";
    } rows[] = {
        {{"grant", "/tmp"}, false, 1, "Couldn't save disk access\n" + unreadable, false},
        {{"forget"}, false, 1, "Couldn't forget disk access\n" + unreadable, false},
        {{"grant", "/tmp"}, true, 1, "Couldn't save disk access\n", false, readOnly},
        {{"grant", "/tmp"}, true, 0, "starts when you log in", true},
        {{"forget"}, true, 0, entry.string(), true},
    };
    for (const Row& row : rows) {
        fs::remove_all(settings);
        fs::create_directories(row.settingsReadable ? settings.parent_path() : settings);
        std::vector<std::string> arguments{"-c", row.before, settings.parent_path(),
                                           TESSARY_HOST_BINARY};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const auto [status, output] = run(arguments, "sh");
        fs::permissions(settings.parent_path(), fs::perms::owner_all, fs::perm_options::replace);
        EXPECT_EQ(status, row.status) << row.arguments[0] << ": " << output;
        EXPECT_NE(output.find(row.output), std::string::npos) << output;
        EXPECT_TRUE(row.status == 0 || output.find("Granted access") == std::string::npos)
            << output;
        EXPECT_EQ(fs::exists(entry), row.startsAtLogin) << output;
    }
}

TEST_F(HostFailuresTest, AHostOutOfDescriptorsKeepsListeningAndServesAgain)
{
    ASSERT_EQ(run({"grant", scratchFolder().string()}).first, 0);
    const fs::path log = scratchFolder() / "host.log";
    test::ChildProcess host("prlimit", {"--nofile=40", "--", TESSARY_HOST_BINARY}, log);
    const auto serves = [](const HostMessage& message) {
        return test::waitUntil(
            [&] { return deliverToHost(message).status == DeliveryStatus::delivered; });
    };
    ASSERT_TRUE(serves({})) << test::readFile(log);
    std::vector<pollfd> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back({::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0), POLLIN, 0});
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, hostSocketPath()->c_str(), sizeof(address.sun_path) - 1);
        ::connect(idle.back().fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    // Each ends, refused at once or dropped as idle, once the host has run out of descriptors.
    EXPECT_TRUE(test::waitUntil(
        [&] { return ::poll(idle.data(), idle.size(), 0) == static_cast<int>(idle.size()); }));
    for (const pollfd& connection : idle) {
        ::close(connection.fd);
    }
    fs::remove(*hostSocketPath()); // and loses its socket
    const std::string url = *CreateRequest{scratchFolder().string(), 0}.signedURL(
        requestKey(DefaultsStore::appGroup()).value(), CreateRequest::Clock::now());
    EXPECT_TRUE(serves({{url}, false, false})) << test::readFile(log);
    EXPECT_TRUE(test::waitUntil([&] { return fs::exists(scratchFolder() / "untitled.txt"); }))
        << test::readFile(log);
}

} // namespace
} // namespace tessary

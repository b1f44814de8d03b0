// The request road across processes, with the real `tessary` binary: signed URLs handed to
// `tessary` with no host running and with one, what the host drops from its channel, and
// the command-line verbs; and when things go wrong: a grant or a forget that cannot be stored
// says so and fails, and a host whose descriptors run out keeps its socket and serves again.
// No display and no session bus.
#include "shared/create_request.h"
#include "shared/host_channel.h"
#include "test_support.h"

#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace tessary {
namespace {

using namespace std::string_literals;

class RoadTest : public test::ConfigFolderTest {
protected:
    // Runs tessary (or `program`) to its end: the exit status, then what it printed.
    std::pair<int, std::string> run(const std::vector<std::string>& arguments,
                                    const std::string& program = TESSARY_HOST_BINARY) const
    {
        const int status = test::runProgram(program, arguments, out());
        return {status, test::readFile(out())};
    }
    std::string signedUrl(std::int64_t index, std::chrono::seconds age = {}) const
    {
        return *CreateRequest{folder().string(), index}.signedURL(
            requestKey(DefaultsStore::appGroup()).value(), CreateRequest::Clock::now() - age);
    }
    fs::path folder() const { return scratchFolder() / "Folder with spaces & more"; }
    fs::path out() const { return runtimeFolder() / "out.txt"; }
    fs::path hostLog() const { return runtimeFolder() / "host.log"; }
    bool hostLogged(const std::string& text) const
    {
        return test::waitUntil([&] { return test::readFile(hostLog()).find(text) != npos; });
    }
    bool created(const char* name) const
    {
        return test::waitUntil([&] { return fs::exists(folder() / name); });
    }
    static constexpr auto npos = std::string::npos;
};

TEST_F(RoadTest, AUrlStartsTheHostWhichKeepsServingWhateverItIsSent)
{
    fs::create_directories(folder());
    ASSERT_EQ(run({"grant", scratchFolder()}).first, 0);
    const std::string first = signedUrl(0);
    test::ChildProcess host(TESSARY_HOST_BINARY, {first, signedUrl(1)}, hostLog());
    ASSERT_TRUE(created("untitled.txt") && created("untitled.md")) << test::readFile(hostLog());
    // The URLs were the reason for the launch, and are handled after it, in order.
    ASSERT_TRUE(hostLogged("INFO com.orvane.tessary[app] Received " + first + "\n"));
    const std::string log = test::readFile(hostLog());
    EXPECT_LT(log.find("INFO com.orvane.tessary[app] Host app launched, opened by user: 0\n"),
              log.find("INFO com.orvane.tessary[app] Received " + first + "\n"));

    // A later start hands its URL over, with the file manager that asked, and leaves at once.
    EXPECT_EQ(run({"--file-manager", "org.example.Files", signedUrl(2)}).first, 0);
    EXPECT_TRUE(created("untitled")) << test::readFile(hostLog());

    // Lines that are not messages are dropped unanswered; expired and forged URLs are ignored.
    for (const std::string& line :
         {"\x01\x02not json at all"s, "[]"s, R"({"urls":"u"})"s, R"({"urls":[1]})"s,
          R"({"activates":"yes"})"s, R"({"fileManager":1})"s,
          std::string(kHostMessageLimit + 1, ' ')}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{AF_UNIX, {}};
        std::strcpy(address.sun_path, hostSocketPath()->c_str());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        static_cast<void>(::send(fd, (line + "\n").data(), line.size() + 1, MSG_NOSIGNAL));
        char answer[8] = {};
        EXPECT_LE(::read(fd, answer, sizeof(answer)), 0) << line.substr(0, 20) << " was taken";
        ::close(fd);
    }
    EXPECT_TRUE(hostLogged("ERROR com.orvane.tessary[app] Dropped a malformed message"));
    std::string forged = signedUrl(0);
    forged.back() = forged.back() == '0' ? '1' : '0';
    for (const std::string& url : {signedUrl(0, std::chrono::seconds(180)), forged}) {
        EXPECT_EQ(deliverToHost({{url}}).status, DeliveryStatus::delivered);
        EXPECT_TRUE(
            hostLogged("Ignoring a request that is malformed, unsigned or expired: " + url + "\n"));
    }
    EXPECT_EQ(deliverToHost({{signedUrl(0)}}).status, DeliveryStatus::delivered);
    EXPECT_TRUE(created("untitled-2.txt")) << test::readFile(hostLog());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 4);
}

TEST_F(RoadTest, TheCommandLineCreatesOnlyWithAGrant)
{
    fs::create_directories(folder());
    const std::string askFirst = "Tessary needs access to your disk\nGrant access once";
    // The arguments, the exit status, a part of what it printed.
    // clang-format off
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{"new", folder()}, 1, askFirst}, {{"grant", scratchFolder()}, 0, "[disk-access] Granted"},
        {{"new", folder()}, 0, (folder() / "untitled.txt").string() + "\n"},
        {{"new", "--template", "2", folder()}, 0, (folder() / "untitled").string() + "\n"},
        {{"new", "--template", "7", folder()}, 1, "there is no template 7"},
        {{"new", folder() / "missing"}, 1,
         "Couldn't create the file\nCould not create untitled.txt: No such file or directory"},
        {{"--help"}, 0, "tessary new"}, {{"--bogus"}, 2, "unknown option: --bogus"},
        {{"--file-manager"}, 2, "--file-manager takes a bus name"}};
    // clang-format on
    for (const auto& [arguments, expected, part] : rows) {
        const auto [status, printed] = run(arguments);
        EXPECT_EQ(status, expected) << ::testing::PrintToString(arguments) << printed;
        EXPECT_NE(printed.find(part), npos) << printed;
    }
}

TEST_F(RoadTest, GrantAndForgetSayWhatTheyDidAndFailWhenNothingWasStored)
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

TEST_F(RoadTest, AHostOutOfDescriptorsKeepsListeningAndServesAgain)
{
    fs::create_directories(folder());
    ASSERT_EQ(run({"grant", scratchFolder().string()}).first, 0);
    test::ChildProcess host("prlimit", {"--nofile=40", "--", TESSARY_HOST_BINARY}, hostLog());
    const auto serves = [](const HostMessage& message) {
        return test::waitUntil(
            [&] { return deliverToHost(message).status == DeliveryStatus::delivered; });
    };
    ASSERT_TRUE(serves({})) << test::readFile(hostLog());
    std::vector<pollfd> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back({::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0), POLLIN, 0});
        sockaddr_un address{AF_UNIX, {}};
        std::strcpy(address.sun_path, hostSocketPath()->c_str());
        ::connect(idle.back().fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    // Each ends, refused at once or dropped as idle, once the host has run out of descriptors.
    EXPECT_TRUE(test::waitUntil(
        [&] { return ::poll(idle.data(), idle.size(), 0) == static_cast<int>(idle.size()); }));
    for (const pollfd& connection : idle) {
        ::close(connection.fd);
    }
    fs::remove(*hostSocketPath()); // and loses its socket
    EXPECT_TRUE(serves({{signedUrl(0)}, false, false})) << test::readFile(hostLog());
    EXPECT_TRUE(created("untitled.txt")) << test::readFile(hostLog());
}

} // namespace
} // namespace tessary

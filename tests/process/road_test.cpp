// The request road across processes, with the real `tessary` binary: a signed URL handed to
// `tessary` with no host running and with one, a malformed message on the channel, and the
// command-line verbs. No display and no session bus.
#include "create_request.h"
#include "defaults_store.h"
#include "host_channel.h"
#include "processes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class RoadTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        m_root = scratchFolder();
        folder = m_root / "Folder with spaces & more";
        fs::create_directories(folder);
        ::setenv("TESSARY_LOG", "stderr", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    }
    void TearDown() override
    {
        m_host.reset();
        ConfigFolderTest::TearDown();
    }

    // Runs tessary with `arguments` to completion.
    Result run(const std::vector<std::string>& arguments)
    {
        const fs::path out = m_root / "out.txt";
        const fs::path err = m_root / "err.txt";
        const int status = test::runProgram(TESSARY_HOST_BINARY, arguments, {out, err});
        return {status, test::readFile(out), test::readFile(err)};
    }

    // Starts tessary in the background, its stderr going to host.log.
    void startHost(const std::vector<std::string>& arguments)
    {
        m_host.emplace(TESSARY_HOST_BINARY, arguments,
                       test::ChildOutput{m_root / "host.out", hostLog()});
    }
    fs::path hostLog() const { return m_root / "host.log"; }
    std::string rootFolder() const { return m_root.string(); }

    std::string signedUrl(const fs::path& directory, std::int64_t index)
    {
        const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
        return *CreateRequest{directory.string(), index}.signedURL(key,
                                                                   CreateRequest::Clock::now());
    }

    fs::path folder;
    std::optional<test::ChildProcess> m_host;
    fs::path m_root;
};

TEST_F(RoadTest, AUrlStartsTheHostWhichThenServesLaterStarts)
{
    ASSERT_EQ(run({"grant", rootFolder()}).status, 0);
    startHost({signedUrl(folder, 0)});
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled.txt"); }))
        << test::readFile(hostLog());

    // A second start hands its URL over and leaves at once.
    const Result second = run({signedUrl(folder, 1)});
    EXPECT_EQ(second.status, 0) << second.err;
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled.md"); }))
        << test::readFile(hostLog());

    // Garbage on the channel is dropped; the host keeps serving.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, hostSocketPath()->c_str());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        const char garbage[] = "\x01\x02not json at all\n";
        ASSERT_GT(::write(fd, garbage, sizeof(garbage) - 1), 0);
        char answer[8] = {};
        EXPECT_LE(::read(fd, answer, sizeof(answer)), 0) << "garbage must not be acknowledged";
        ::close(fd);
    }
    EXPECT_EQ(deliverToHost({{signedUrl(folder, 2)}, false, false}).status,
              DeliveryStatus::delivered);
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled"); }))
        << test::readFile(hostLog());
    EXPECT_TRUE(test::waitUntil([&] {
        return test::readFile(hostLog()).find("Dropped a malformed message on the host channel") !=
               std::string::npos;
    }));

    const std::string log = test::readFile(hostLog());
    EXPECT_NE(log.find("INFO com.orvane.tessary[app] Host app launched, opened by user: 0\n"),
              std::string::npos)
        << log;
    EXPECT_NE(
        log.find("INFO com.orvane.tessary[creator] Created " + (folder / "untitled.md").string()),
        std::string::npos);
}

TEST_F(RoadTest, TheCommandLineCreatesOnlyWithAGrant)
{
    Result result = run({"new", folder.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Tessary needs access to your disk\nGrant access once"),
              std::string::npos)
        << result.err;

    result = run({"grant", rootFolder()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(test::readFile(configHome() / "autostart" / "com.orvane.tessary.desktop")
                  .find(" --login\n"),
              std::string::npos);

    result = run({"new", folder.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, (folder / "untitled.txt").string() + "\n");
    result = run({"new", "--template", "2", folder.string()});
    EXPECT_EQ(result.out, (folder / "untitled").string() + "\n");

    result = run({"new", "--template", "7", folder.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("there is no template 7"), std::string::npos) << result.err;

    result = run({"new", (folder / "missing").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(
        result.err.find("Couldn't create the file\nCould not create untitled.txt: No such file "
                        "or directory"),
        std::string::npos)
        << result.err;

    result = run({"forget"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(run({"new", folder.string()}).status, 1);

    EXPECT_EQ(run({"--help"}).status, 0);
    EXPECT_EQ(run({"--bogus"}).status, 2);
}

} // namespace
} // namespace tessary

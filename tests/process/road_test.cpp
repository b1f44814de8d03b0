// The request road across processes, with the real `tessary` binary: a signed URL handed to
// `tessary` with no host running and with one, a malformed message on the channel, and the
// command-line verbs. No display and no session bus.
#include "create_request.h"
#include "defaults_store.h"
#include "host_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessary {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tessary-road-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "config");
        fs::create_directories(m_root / "run");
        fs::permissions(m_root / "run", fs::perms::owner_all, fs::perm_options::replace);
        folder = m_root / "Folder with spaces & more";
        fs::create_directories(folder);
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "run").c_str(), 1);
        ::setenv("TESSARY_LOG", "stderr", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    }
    void TearDown() override
    {
        if (m_host > 0) {
            ::kill(m_host, SIGTERM);
            ::waitpid(m_host, nullptr, 0);
        }
        fs::remove_all(m_root);
    }

    // Runs tessary with `arguments` to completion.
    Result run(const std::vector<std::string>& arguments)
    {
        const fs::path out = m_root / "out.txt";
        const fs::path err = m_root / "err.txt";
        const pid_t pid = spawn(arguments, out, err);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    }

    // Starts tessary in the background, its stderr going to host.log.
    void startHost(const std::vector<std::string>& arguments)
    {
        m_host = spawn(arguments, m_root / "host.out", hostLog());
    }
    fs::path hostLog() const { return m_root / "host.log"; }
    std::string rootFolder() const { return m_root.string(); }

    std::string signedUrl(const fs::path& directory, std::int64_t index)
    {
        const RequestKey key = requestKey(DefaultsStore::appGroup());
        return *CreateRequest{directory.string(), index}.signedURL(key,
                                                                   CreateRequest::Clock::now());
    }

    static bool waitUntil(const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    fs::path folder;
    pid_t m_host = -1;

    fs::path m_root;

private:
    pid_t spawn(const std::vector<std::string>& arguments, const fs::path& out, const fs::path& err)
    {
        std::vector<std::string> all = {TESSARY_HOST_BINARY};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
};

TEST_F(RoadTest, AUrlStartsTheHostWhichThenServesLaterStarts)
{
    ASSERT_EQ(run({"grant", rootFolder()}).status, 0);
    startHost({signedUrl(folder, 0)});
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "untitled.txt"); })) << slurp(hostLog());

    // A second start hands its URL over and leaves at once.
    const Result second = run({signedUrl(folder, 1)});
    EXPECT_EQ(second.status, 0) << second.err;
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "untitled.md"); })) << slurp(hostLog());

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
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "untitled"); })) << slurp(hostLog());
    EXPECT_TRUE(waitUntil([&] {
        return slurp(hostLog()).find("Dropped a malformed message on the host channel") !=
               std::string::npos;
    }));

    const std::string log = slurp(hostLog());
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
    EXPECT_NE(
        slurp(m_root / "config" / "autostart" / "com.orvane.tessary.desktop").find(" --login\n"),
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

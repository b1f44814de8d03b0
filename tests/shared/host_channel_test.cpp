// The host channel's client against small listeners of the test's own: delivery, no host,
// a stale socket, a refusing or silent host, and the message format.
#include "host_channel.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

class HostChannelTest : public test::ConfigFolderTest {
protected:
    // A listening socket where the host would listen.
    int listenAtHostPath() const
    {
        const auto path = hostSocketPath(true);
        EXPECT_TRUE(path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path->c_str());
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        return fd;
    }

    // Accepts one connection, reads one line into `received` and answers `reply`.
    static std::thread serveOnce(int listener, std::string reply, std::string& received)
    {
        return std::thread([listener, reply, &received] {
            const int client = ::accept(listener, nullptr, nullptr);
            char c = 0;
            while (::read(client, &c, 1) == 1 && c != '\n') {
                received += c;
            }
            if (!reply.empty()) {
                (void)!::write(client, reply.data(), reply.size());
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
            }
            ::close(client);
        });
    }
};

TEST_F(HostChannelTest, DeliversOneLineAndWaitsForTheAnswer)
{
    const int listener = listenAtHostPath();
    std::string received;
    std::thread host = serveOnce(listener, "ok\n", received);
    const HostMessage message{
        {"tessary://create?dir=/a%20b&template=1&ts=1&sig=00", "x"}, true, false};
    const DeliveryResult result = deliverToHost(message);
    host.join();
    ::close(listener);
    EXPECT_EQ(result.status, DeliveryStatus::delivered) << result.error;
    EXPECT_EQ(decodeHostMessage(received), message);
    EXPECT_EQ((fs::status(runtimeFolder() / "tessary").permissions() & fs::perms::all),
              fs::perms::owner_all);
}

TEST_F(HostChannelTest, ReportsNoHostForAMissingOrStaleSocket)
{
    EXPECT_EQ(deliverToHost({}).status, DeliveryStatus::noHost);
    ::close(listenAtHostPath()); // the socket file stays behind, as after a crash
    EXPECT_TRUE(fs::exists(runtimeFolder() / "tessary" / "host"));
    EXPECT_EQ(deliverToHost({}).status, DeliveryStatus::noHost);
}

TEST_F(HostChannelTest, RefusedOrUnansweredDeliveriesFail)
{
    for (const std::string& reply : {std::string("no\n"), std::string()}) {
        const int listener = listenAtHostPath();
        std::string received;
        std::thread host = serveOnce(listener, reply, received);
        const DeliveryResult result =
            deliverToHost({{"u"}, false, false}, std::chrono::milliseconds(150));
        host.join();
        ::close(listener);
        ::unlink((runtimeFolder() / "tessary" / "host").c_str());
        EXPECT_EQ(result.status, DeliveryStatus::failed) << '"' << reply << '"';
        EXPECT_FALSE(result.error.empty());
    }
}

TEST_F(HostChannelTest, AFolderOthersCanEnterIsNotTrusted)
{
    ASSERT_TRUE(hostChannelFolder(true));
    fs::permissions(runtimeFolder() / "tessary", fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    EXPECT_FALSE(hostChannelFolder(false));
    EXPECT_EQ(deliverToHost({}).status, DeliveryStatus::noHost);
}

TEST(HostMessage, DecodesOnlyWellFormedMessages)
{
    const HostMessage full{{"a", "b"}, true, true};
    EXPECT_EQ(decodeHostMessage(encodeHostMessage(full)), full);
    EXPECT_EQ(decodeHostMessage("{}"), HostMessage{});
    EXPECT_EQ(decodeHostMessage(R"({"urls":["u"],"extra":1})"), (HostMessage{{"u"}, false, false}));
    for (const char* bad : {"", "[]", "null", "{", R"({"urls":"u"})", R"({"urls":[1]})",
                            R"({"activates":"yes"})", R"({"reopen":1})", "{} trailing"}) {
        EXPECT_FALSE(decodeHostMessage(bad)) << bad;
    }
    EXPECT_FALSE(decodeHostMessage(std::string(kHostMessageLimit + 1, ' ')));
}

} // namespace
} // namespace tessary

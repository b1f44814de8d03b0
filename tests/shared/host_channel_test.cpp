// The host channel's client for each state the host's socket can be in. A host that takes
// the message, and the lines it drops, are the real host's (road_test).
#include "shared/host_channel.h"

#include "test_support.h"

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>

namespace tessary {
namespace {

class HostChannelTest : public test::ConfigFolderTest {};

TEST_F(HostChannelTest, OnlyAnAnsweringHostInAPrivateFolderTakesTheMessage)
{
    enum class Socket { none, stale, silent, untrusted };
    using enum Socket;
    using enum DeliveryStatus;
    // No host ever ran; the socket file of a host that crashed; a host that is stuck (it never
    // takes the connection); a host in a folder others may enter.
    const std::pair<Socket, DeliveryStatus> rows[] = {
        {none, noHost}, {stale, noHost}, {silent, failed}, {untrusted, noHost}};
    for (const auto& [socket, expected] : rows) {
        fs::remove_all(runtimeFolder() / "tessary");
        int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket != none) {
            sockaddr_un address{AF_UNIX, {}};
            std::strcpy(address.sun_path, hostSocketPath(true)->c_str());
            ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ASSERT_EQ(::listen(listener, 4), 0);
            EXPECT_EQ(fs::status(runtimeFolder() / "tessary").permissions(), fs::perms::owner_all);
        }
        if (socket == stale) {
            ::close(std::exchange(listener, -1));
        } else if (socket == untrusted) {
            fs::permissions(runtimeFolder() / "tessary", fs::perms::others_exec,
                            fs::perm_options::add);
        }
        const DeliveryResult result =
            deliverToHost({{"tessary://create"}}, std::chrono::milliseconds(150));
        ::close(listener);
        EXPECT_EQ(result.status, expected) << static_cast<int>(socket) << ": " << result.error;
        EXPECT_FALSE(result.error.empty());
    }
}

} // namespace
} // namespace tessary

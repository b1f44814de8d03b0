// Input that anyone on the machine can send: messages and signed requests that smuggle
// bytes past their checks are refused, and no value can split or forge a log line.
#include "shared/create_request.h"
#include "shared/crypto.h"
#include "shared/hex.h"
#include "shared/host_channel.h"
#include "shared/logger.h"
#include "shared/url_query.h"

#include "test_support.h"

namespace tessary {
namespace {

using namespace std::string_literals;

TEST(HostileInput, SignedRequestsAndMessagesThatSmuggleBytesAreRefused)
{
    const RequestKey key{};
    const auto now = CreateRequest::Clock::time_point(std::chrono::seconds(1'796'579'721));
    // A dir the system would read only up to its NUL, and the signing time in hexadecimal.
    for (const auto& [dir, ts] : {std::pair{"/tmp\0/elsewhere"s, "1796579721"s},
                                  std::pair{"/tmp"s, "0x1.ac56862400000p+30"s}}) {
        const std::string message = signingMessage(dir, 0, ts);
        const Sha256Mac mac = hmacSha256(
            key, {reinterpret_cast<const std::uint8_t*>(message.data()), message.size()});
        const std::string url =
            "tessary://create?" +
            encodeQuery(
                {{"dir", dir}, {"template", "0"}, {"ts", ts}, {"sig", toHex(mac, HexCase::lower)}});
        EXPECT_FALSE(CreateRequest::verifying(url, key, now)) << url;
    }
    EXPECT_FALSE(decodeHostMessage("{\"urls\":[]}\0garbage"s));
}

TEST(HostileInput, AValueCannotSplitOrForgeALogLine)
{
    const std::string log = test::capturedLog([] {
        Logger("create").error("Ignoring %{public}s",
                               "x\nERROR com.orvane.tessary[create] forged\r\x1b[2J\x7f"s);
    });
    EXPECT_EQ(log, "ERROR com.orvane.tessary[create] Ignoring "
                   "x\\nERROR com.orvane.tessary[create] forged\\r\\x1b[2J\\x7f\n");
}

} // namespace
} // namespace tessary

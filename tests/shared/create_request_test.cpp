// Create-request URLs: what the verifier accepts and refuses, hostile folder paths through
// the round trip, and the signing key when several processes need it at once.
#include "shared/create_request.h"

#include "shared/crypto.h"
#include "shared/hex.h"
#include "shared/host_channel.h"
#include "shared/logger.h"
#include "test_support.h"
#include "shared/url_query.h"

#include <set>

namespace tessary {
namespace {

using Clock = CreateRequest::Clock;
using namespace std::string_literals;

const Clock::time_point kSignedAt{std::chrono::seconds(1'796'579'721)};
const RequestKey kKey{3, 10, 17, 24, 31, 38, 45, 52, 59, 66, 73, 80, 87, 94, 101, 108};

std::optional<CreateRequest> verify(const std::string& url, double secondsLater = 5)
{
    return CreateRequest::verifying(url, kKey,
                                    kSignedAt + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(secondsLater)));
}

// A URL with the items written as given (already encoded), signed over `dir` and `index`.
std::string handMade(const std::string& rawDir, const std::string& dir,
                     const std::string& rawIndex = "0", std::int64_t index = 0,
                     const std::string& ts = "1796579721")
{
    const std::string message = signingMessage(dir, index, ts);
    const auto mac =
        hmacSha256(kKey, {reinterpret_cast<const std::uint8_t*>(message.data()), message.size()});
    return "tessary://create?dir=" + rawDir + "&template=" + rawIndex + "&ts=" + ts +
           "&sig=" + toHex(mac, HexCase::lower);
}

std::string atTmp(const std::string& rawIndex, std::int64_t index,
                  const std::string& ts = "1796579721")
{
    return handMade("/tmp", "/tmp", rawIndex, index, ts);
}

TEST(CreateRequestVerifier, AcceptsOnlyWellFormedSignedRecentRequests)
{
    const std::string good = handMade("/tmp/a", "/tmp/a", "2", 2);
    const std::string sig = good.substr(good.find("&sig=") + 5);
    std::string upperSig = sig;
    std::transform(sig.begin(), sig.end(), upperSig.begin(), ::toupper);
    // The URL, the request it carries, the seconds between signing and checking.
    // clang-format off
    const std::tuple<std::string, CreateRequest, double> accepted[] = {
        {good, {"/tmp/a", 2}, 5}, {good, {"/tmp/a", 2}, 120}, {good, {"/tmp/a", 2}, -120}, // ±120 s
        {good.substr(0, good.size() - 64) + upperSig, {"/tmp/a", 2}, 5},
        {good + "#fragment", {"/tmp/a", 2}, 5},
        {handMade("/tmp/a+b", "/tmp/a+b"), {"/tmp/a+b", 0}, 5}, // "+" is a plus sign
        {handMade("//tmp/./..a/b..//", "//tmp/./..a/b..//"), {"//tmp/./..a/b..//", 0}, 5},
        {atTmp("%2B2", 2), {"/tmp", 2}, 5}, {atTmp("002", 2), {"/tmp", 2}, 5},
        {atTmp("9223372036854775807", INT64_MAX), {"/tmp", INT64_MAX}, 5},
        // A timestamp with a fraction or an exponent is read as a number but signed as written.
        {atTmp("1", 1, "1796579721.75"), {"/tmp", 1}, 5}, {atTmp("1", 1, "1.796579721e9"), {"/tmp", 1}, 5}};
    // clang-format on
    for (const auto& [url, request, secondsLater] : accepted) {
        EXPECT_EQ(verify(url, secondsLater), request) << url;
    }
    EXPECT_FALSE(verify(good, 120.5));
    EXPECT_FALSE(verify(good, -121));
    RequestKey otherKey = kKey;
    otherKey[0] ^= 0x80;
    EXPECT_FALSE(CreateRequest::verifying(good, otherKey, kSignedAt));
    // Refused, whatever they carry: the good URL with one text replaced ("from>to")...
    for (const std::string change :
         {"template=2>template=3", "dir=/tmp/a>dir=/tmp/b", "ts=1796579721>ts=1796579722",
          "&sig=>&ts=1796579721&sig=", "&sig=>&dir=/tmp/a&sig=", "&sig=>&sig=zz", "&sig=>&sig=0",
          "&sig=>&", "tessary://>Tessary://", "//create>//Create", "//create>//create:80",
          "/tmp/a>/tmp/a%zz", "/tmp/a>/tmp/a b", "/tmp/a>/tmp/\xC3\xA4", "tessary://create?>"}) {
        std::string url = good;
        const std::string from = change.substr(0, change.find('>'));
        url.replace(url.find(from), from.size(), change.substr(change.find('>') + 1));
        EXPECT_FALSE(verify(url)) << url;
    }
    // ... folders that are not absolute, have parent pieces or a NUL the system would stop
    // at, indexes and timestamps not in plain form, each signed as what it could be misread as.
    for (const std::string& dir : {"tmp/a"s, "/tmp/../etc"s, "/tmp/a/.."s, ""s, "/tmp\0/x"s}) {
        EXPECT_FALSE(verify(handMade(percentEncodeQueryComponent(dir), dir))) << dir;
    }
    for (const char* index : {"-1", "9223372036854775808", "12a", " 1", "1.0", "", "0x1"}) {
        const std::string url =
            atTmp(percentEncodeQueryComponent(index), std::strtoll(index, nullptr, 10));
        EXPECT_FALSE(verify(url)) << url;
    }
    for (const char* ts :
         {"nan", "inf", "1796579721x", " 1796579721", "", "0x1.ac56862400000p+30"}) {
        EXPECT_FALSE(verify(atTmp("1", 1, ts))) << ts;
    }
}

TEST(CreateRequestUrl, HostileFolderPathsSurviveTheRoundTrip)
{
    for (const std::string path :
         {"/tmp/with space", "/tmp/a&b=c&sig=00", "/tmp/#hash?query", "/tmp/100% sure+plus",
          "/tmp/%41%2F", "/home/jürgen/日本語", "/tmp/line\nfeed\ttab\r", "/tmp/\"'<>\\`",
          "/tmp/./here/", "/"}) {
        const CreateRequest request{path, 1'000'000};
        const auto url = request.signedURL(kKey, kSignedAt);
        ASSERT_TRUE(url) << path;
        EXPECT_EQ(verify(*url), request) << *url;
        EXPECT_EQ(url->find_first_of(" \n\t\r#\"<>\\`"), std::string::npos) << *url;
    }
    EXPECT_FALSE((CreateRequest{"relative", 0}.signedURL(kKey, kSignedAt)));
    EXPECT_FALSE((CreateRequest{"/tmp", -1}.signedURL(kKey, kSignedAt)));
}

// Input that anyone on the machine can send: a message with bytes after its end is refused,
// and no value can split or forge a log line.
TEST(HostileInput, SmuggledBytesAreRefusedAndCannotForgeALogLine)
{
    EXPECT_FALSE(decodeHostMessage("{\"urls\":[]}\0garbage"s));
    const std::string log = test::capturedLog([] {
        Logger("create").error("Ignoring %{public}s",
                               "x\nERROR com.orvane.tessary[create] forged\r\x1b[2J\x7f"s);
    });
    EXPECT_EQ(log, "ERROR com.orvane.tessary[create] Ignoring "
                   "x\\nERROR com.orvane.tessary[create] forged\\r\\x1b[2J\\x7f\n");
}

class RequestKeyTest : public test::ConfigFolderTest {};

// Processes that start together while the key is missing or of the wrong length all end up
// with the one key that is stored.
TEST_F(RequestKeyTest, ProcessesStartingTogetherAgreeOnTheStoredKey)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    const std::optional<std::size_t> storedLengths[] = {std::nullopt, 0, 16, 33};
    for (const std::optional<std::size_t> length : storedLengths) {
        SCOPED_TRACE(length ? std::to_string(*length) + " bytes stored" : "no key");
        ASSERT_FALSE(length ? store.setData(kRequestKeyKey, Bytes(*length, 0x5a))
                            : store.remove(kRequestKeyKey));
        int gate[2];
        int results[2];
        ASSERT_EQ(::pipe(gate) | ::pipe(results), 0);
        std::vector<pid_t> children(6);
        for (pid_t& child : children) {
            if ((child = ::fork()) == 0) {
                char go = 0;
                ::close(gate[1]);
                static_cast<void>(::read(gate[0], &go, 1)); // returns when the parent closes it
                const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
                ::_exit(::write(results[1], key.data(), key.size()) == 32 ? 0 : 1);
            }
        }
        for (const int fd : {gate[0], gate[1], results[1]}) {
            ::close(fd); // closing gate[1] releases every child at once
        }
        for (const pid_t child : children) {
            int status = -1;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::set<Bytes> keys;
        for (Bytes key(32); ::read(results[0], key.data(), key.size()) == 32;) {
            keys.insert(key);
        }
        ::close(results[0]);
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(store.data(kRequestKeyKey), *keys.begin());
        EXPECT_NE(*keys.begin(), Bytes(32, 0));
    }
}

} // namespace
} // namespace tessary

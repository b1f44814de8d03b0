// Create-request URLs: HMAC vectors, the signing message, builder/verifier round trips,
// every rejection of the verifier, and the shared signing key.
#include "create_request.h"

#include "crypto.h"
#include "test_support.h"
#include "url_query.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace tessary {
namespace {

using Clock = CreateRequest::Clock;

std::vector<std::uint8_t> fromHex(std::string_view hex)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

std::vector<std::uint8_t> fromText(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(HmacSha256, Rfc4231Vectors)
{
    const struct {
        std::vector<std::uint8_t> key;
        std::vector<std::uint8_t> data;
        const char* mac;
    } rows[] = {
        {std::vector<std::uint8_t>(20, 0x0b), fromText("Hi There"),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {fromText("Jefe"), fromText("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {std::vector<std::uint8_t>(20, 0xaa), std::vector<std::uint8_t>(50, 0xdd),
         "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
         std::vector<std::uint8_t>(50, 0xcd),
         "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {std::vector<std::uint8_t>(131, 0xaa),
         fromText("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {std::vector<std::uint8_t>(131, 0xaa),
         fromText(
             "This is a test using a larger than block-size key and a larger than block-size data. "
             "The key needs to be hashed before being used by the HMAC algorithm."),
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const auto& row : rows) {
        const Sha256Mac mac = hmacSha256(row.key, row.data);
        EXPECT_EQ(std::vector<std::uint8_t>(mac.begin(), mac.end()), fromHex(row.mac)) << row.mac;
        EXPECT_TRUE(isValidHmacSha256(mac, row.key, row.data));
        auto wrong = mac;
        wrong[31] ^= 1;
        EXPECT_FALSE(isValidHmacSha256(wrong, row.key, row.data));
        EXPECT_FALSE(isValidHmacSha256(std::span(mac).first(16), row.key, row.data));
    }
}

TEST(SigningMessage, IsDirIndexAndTimestampOnSeparateLines)
{
    const std::string message = signingMessage("/Users/me/Documents", 2, "1796579721");
    EXPECT_EQ(message, "/Users/me/Documents\n2\n1796579721");
    EXPECT_EQ(message.size(), 32u);
}

class CreateRequestUrlTest : public ::testing::Test {
protected:
    RequestKey key{};
    const Clock::time_point signedAt = Clock::time_point(std::chrono::seconds(1'796'579'721));

    void SetUp() override
    {
        for (std::size_t i = 0; i < key.size(); ++i) {
            key[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
    }

    // A URL with the given raw (already encoded) parts, signed over the given texts.
    std::string handMade(const std::string& rawDir, const std::string& dirText,
                         const std::string& rawIndex, std::int64_t index,
                         const std::string& ts) const
    {
        const Sha256Mac mac = hmacSha256(key, fromText(signingMessage(dirText, index, ts)));
        std::string sig;
        for (const auto byte : mac) {
            static constexpr char kDigits[] = "0123456789abcdef";
            sig += kDigits[byte >> 4];
            sig += kDigits[byte & 15];
        }
        return "tessary://create?dir=" + rawDir + "&template=" + rawIndex + "&ts=" + ts +
               "&sig=" + sig;
    }

    std::optional<CreateRequest> verify(const std::string& url, double secondsLater = 5) const
    {
        const auto later = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(secondsLater));
        return CreateRequest::verifying(url, key, signedAt + later);
    }
};

TEST_F(CreateRequestUrlTest, HostileFolderPathsSurviveTheRoundTrip)
{
    const std::string paths[] = {
        "/Users/me/Documents",
        "/tmp/with space",
        "/tmp/a&b=c",
        "/tmp/#hash?query",
        "/tmp/100% sure+plus",
        "/tmp/%41%2F",
        "/home/jürgen/Übersicht/日本語",
        "/tmp/line\nfeed\ttab\r",
        "/tmp/./here",
        "/tmp/trailing/",
        "/tmp/..dots../a..b",
        "/tmp/quote\"'<>\\`",
        "/",
    };
    for (const std::string& path : paths) {
        for (const std::int64_t index : {0, 2, 1'000'000}) {
            const CreateRequest request{path, index};
            const auto url = request.signedURL(key, signedAt);
            ASSERT_TRUE(url) << path;
            EXPECT_EQ(verify(*url), request) << *url;
            EXPECT_EQ(url->find_first_of(" \n\t\r#\"<>\\`"), std::string::npos) << *url;
        }
    }
}

TEST_F(CreateRequestUrlTest, UrlHasItsItemsInOrderAndALowerCaseSignature)
{
    const auto url =
        CreateRequest{"/a b", 3}.signedURL(key, signedAt + std::chrono::milliseconds(999));
    ASSERT_TRUE(url);
    EXPECT_TRUE(std::regex_match(
        *url,
        std::regex(R"(tessary://create\?dir=/a%20b&template=3&ts=1796579721&sig=[0-9a-f]{64})")))
        << *url;
    EXPECT_FALSE((CreateRequest{"relative", 0}.signedURL(key, signedAt)));
    EXPECT_FALSE((CreateRequest{"/tmp", -1}.signedURL(key, signedAt)));
}

TEST_F(CreateRequestUrlTest, TimeWindowIs120SecondsEitherWay)
{
    const auto url = *CreateRequest{"/tmp", 1}.signedURL(key, signedAt);
    const struct {
        double later;
        bool accepted;
    } rows[] = {{0, true},    {120, true},  {120.5, false}, {121, false},
                {-100, true}, {-120, true}, {-121, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(verify(url, row.later).has_value(), row.accepted) << row.later;
    }
    // A timestamp with a fraction or an exponent is read as a number but signed as written.
    EXPECT_TRUE(verify(handMade("/tmp", "/tmp", "1", 1, "1796579721.75")));
    EXPECT_TRUE(verify(handMade("/tmp", "/tmp", "1", 1, "1.796579721e9")));
    for (const std::string ts :
         {"", "abc", " 1796579721", "1796579721 ", "nan", "inf", "1796579721x"}) {
        EXPECT_FALSE(verify(handMade("/tmp", "/tmp", "1", 1, ts))) << '"' << ts << '"';
    }
}

TEST_F(CreateRequestUrlTest, RejectsEveryMalformedOrForgedRequest)
{
    const std::string good = *CreateRequest{"/tmp/a", 2}.signedURL(key, signedAt);
    ASSERT_TRUE(verify(good));
    const std::string sig = good.substr(good.find("&sig=") + 5);
    const std::string unsignedPart = good.substr(0, good.find("&sig="));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string url = good;
        url.replace(url.find(from), from.size(), to);
        return url;
    };
    const struct {
        const char* what;
        std::string url;
    } rows[] = {
        {"second ts", good + "&ts=1796579721"},
        {"second dir", good + "&dir=/tmp/a"},
        {"no sig", unsignedPart},
        {"sig without value", unsignedPart + "&sig"},
        {"empty sig", unsignedPart + "&sig="},
        {"odd-length sig", unsignedPart + "&sig=" + sig.substr(1)},
        {"bad hex pair", unsignedPart + "&sig=zz" + sig.substr(2)},
        {"short sig", unsignedPart + "&sig=" + sig.substr(0, 62)},
        {"other index", replaced("template=2", "template=3")},
        {"other folder", replaced("dir=/tmp/a", "dir=/tmp/b")},
        {"other ts", replaced("ts=1796579721", "ts=1796579722")},
        {"scheme case", replaced("tessary://", "Tessary://")},
        {"other scheme", replaced("tessary://", "tessery://")},
        {"host case", replaced("//create", "//Create")},
        {"no authority", replaced("tessary://create?", "tessary:create?")},
        {"host with port", replaced("//create", "//create:80")},
        {"no query", "tessary://create"},
        {"bad escape", replaced("dir=/tmp/a", "dir=/tmp/a%zz")},
        {"truncated escape", replaced("dir=/tmp/a", "dir=/tmp/a%4")},
        {"raw space", replaced("dir=/tmp/a", "dir=/tmp/a b")},
        {"raw non-ASCII", replaced("dir=/tmp/a", "dir=/tmp/\xC3\xA4")},
        {"empty", ""},
        {"not a URL", "create?dir=/tmp/a"},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(verify(row.url)) << row.what << ": " << row.url;
    }
    RequestKey otherKey = key;
    otherKey[0] ^= 0x80;
    EXPECT_FALSE(CreateRequest::verifying(good, otherKey, signedAt));
    // Upper-case hexadecimal is the same signature; a fragment is not part of the query.
    std::string upper = sig;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_TRUE(verify(unsignedPart + "&sig=" + upper));
    EXPECT_TRUE(verify(good + "#fragment"));
    EXPECT_TRUE(verify("tessary://create/extra/path?" + good.substr(good.find('?') + 1)));
}

TEST_F(CreateRequestUrlTest, FolderMustBeAbsoluteWithoutParentPieces)
{
    const struct {
        const char* dir;
        bool accepted;
    } rows[] = {
        {"/tmp/a", true},
        {"/tmp/./a", true},
        {"/./", true},
        {"/tmp/..a/b..", true},
        {"//tmp//a//", true},
        {"tmp/a", false},
        {"", false},
        {"/..", false},
        {"/tmp/../etc", false},
        {"/tmp/a/..", false},
        {"/tmp//..//a", false},
        {"../tmp", false},
    };
    for (const auto& row : rows) {
        const std::string encoded = percentEncodeQueryComponent(row.dir);
        const auto request = verify(handMade(encoded, row.dir, "0", 0, "1796579721"));
        EXPECT_EQ(request.has_value(), row.accepted) << row.dir;
        if (request) {
            EXPECT_EQ(request->directory, row.dir);
        }
    }
}

TEST_F(CreateRequestUrlTest, PlusIsAPlusSignNotASpace)
{
    const auto request = verify(handMade("/tmp/a+b", "/tmp/a+b", "0", 0, "1796579721"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->directory, "/tmp/a+b");
}

TEST_F(CreateRequestUrlTest, IndexIsCheckedInItsPlainDecimalForm)
{
    const struct {
        const char* spelled;
        std::optional<std::int64_t> index;
    } rows[] = {
        {"2", 2},
        {"+2", 2},
        {"002", 2},
        {"-0", 0},
        {"9223372036854775807", 9223372036854775807LL},
        {"-1", {}},
        {"", {}},
        {"+", {}},
        {"-", {}},
        {"12a", {}},
        {" 1", {}},
        {"1 ", {}},
        {"0x1", {}},
        {"+-1", {}},
        {"9223372036854775808", {}},
        {"1.0", {}},
    };
    for (const auto& row : rows) {
        const std::int64_t signedIndex = row.index.value_or(0);
        const auto request = verify(handMade(
            "/tmp", "/tmp", percentEncodeQueryComponent(row.spelled), signedIndex, "1796579721"));
        EXPECT_EQ(request ? std::optional(request->templateIndex) : std::nullopt, row.index)
            << '"' << row.spelled << '"';
    }
}

class RequestKeyTest : public test::ConfigFolderTest {};

TEST_F(RequestKeyTest, CreatedOnceAndReadAfterwards)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    EXPECT_EQ(store.data(kRequestKeyKey), std::nullopt);
    const RequestKey first = requestKey(store).value();
    EXPECT_EQ(store.data(kRequestKeyKey), Bytes(first.begin(), first.end()));
    EXPECT_EQ(requestKey(DefaultsStore::appGroup()), first);
    EXPECT_NE(first, RequestKey{});
}

TEST_F(RequestKeyTest, AKeyOfTheWrongLengthIsReplaced)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    for (const std::size_t length : {0u, 16u, 31u, 33u, 64u}) {
        ASSERT_FALSE(store.setData(kRequestKeyKey, Bytes(length, 0x5a)));
        const RequestKey key = requestKey(store).value();
        EXPECT_EQ(store.data(kRequestKeyKey), Bytes(key.begin(), key.end())) << length;
        EXPECT_EQ(requestKey(store), key);
    }
}

TEST_F(RequestKeyTest, ProcessesStartingTogetherAgreeOnOneKey)
{
    for (const bool startWithShortKey : {false, true}) {
        const DefaultsStore store = DefaultsStore::appGroup();
        ASSERT_FALSE(store.remove(kRequestKeyKey));
        if (startWithShortKey) {
            ASSERT_FALSE(store.setData(kRequestKeyKey, Bytes(16, 1)));
        }
        int gate[2];
        int results[2];
        ASSERT_EQ(::pipe(gate), 0);
        ASSERT_EQ(::pipe(results), 0);
        constexpr int kProcesses = 6;
        std::vector<pid_t> children;
        for (int i = 0; i < kProcesses; ++i) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                char go = 0;
                ::close(gate[1]);
                if (::read(gate[0], &go, 1) != 0) { // returns 0 when the parent closes it
                    ::_exit(2);
                }
                const RequestKey key = requestKey(DefaultsStore::appGroup()).value();
                ::_exit(::write(results[1], key.data(), key.size()) == 32 ? 0 : 1);
            }
            children.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]); // releases every child at once
        ::close(results[1]);
        std::set<Bytes> keys;
        Bytes buffer(32);
        for (int i = 0; i < kProcesses; ++i) {
            std::size_t got = 0;
            while (got < 32) {
                const ssize_t n = ::read(results[0], buffer.data() + got, 32 - got);
                ASSERT_GT(n, 0);
                got += static_cast<std::size_t>(n);
            }
            keys.insert(buffer);
        }
        ::close(results[0]);
        for (const pid_t child : children) {
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_EQ(keys.size(), 1u)
            << (startWithShortKey ? "replacing a short key" : "creating the key");
        EXPECT_EQ(store.data(kRequestKeyKey), *keys.begin());
    }
}

} // namespace
} // namespace tessary

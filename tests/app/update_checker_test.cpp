// The update checker against a loopback HTTP server: what each answer of the feed leads to,
// where "Download" may go, what an automatic check announces, and when launch asks at all.
#include "updates/update_checker.h"

#include "shared/defaults_store.h"
#include "updates/product_website.h"
#include "fake_desktop.h"
#include "test_support.h"

#include <QCoreApplication>

namespace tessary {
namespace {

using namespace std::chrono_literals;
using Status = UpdateChecker::Result::Status;

const std::string kVersion = TESSARY_VERSION;
const std::string kBadResponse = "The server returned a bad response.";
const std::string kUnreadable = "The data couldn’t be read because it isn’t in the correct format.";
const std::string kNewer = R"({"version":"999.1","url":"https://a.org/t","published":"1","x":1})";

// Answers GET /<status>/<how>/b<body, base64url>/release.json as the path says (406 to a
// request that does not accept JSON). <how> is a delay in seconds, "trickle" (a byte every
// 0.2 s) or "big" (the body after 70000 spaces).
constexpr const char* kServer = R"(
import base64, http.server as h, time
class Feed(h.BaseHTTPRequestHandler):
    def do_GET(self):
        status, how, body = self.path.split('/')[1:4]
        body = (b' ' * 70000 if how == 'big' else b'') + base64.urlsafe_b64decode(body[1:])
        time.sleep(int(how) if how.isdigit() else 0)
        self.send_response(int(status) if self.headers['Accept'] == 'application/json' else 406)
        self.end_headers()
        for part in [bytes([b]) for b in body] if how == 'trickle' else [body]:
            self.wfile.write(part)
            time.sleep(0.2 if how == 'trickle' else 0)
server = h.ThreadingHTTPServer(('127.0.0.1', 0), Feed)
print(server.server_port, flush=True)
server.serve_forever()
)";

std::string feed(const std::string& version, const std::string& url = "https://example.org/t.deb")
{
    return R"({"version": ")" + version + R"(", "url": ")" + url + R"("})";
}

class UpdateCheckerTest : public test::ConfigFolderTest {
protected:
    // One event loop and one server for all tests.
    struct Suite {
        int argc = 1;
        char* argv[2] = {const_cast<char*>("host_tests"), nullptr};
        QCoreApplication application{argc, argv};
        test::TemporaryFolder folder;
        test::ChildProcess server{"/usr/bin/python3", {"-c", kServer}, folder.path() / "server"};
        std::string site;
    };
    static void SetUpTestSuite()
    {
        suite = std::make_unique<Suite>();
        std::string output; // starts with the server's port
        ASSERT_TRUE(test::waitUntil([&] {
            output = test::readFile(suite->folder.path() / "server");
            return output.find('\n') != std::string::npos;
        }));
        suite->site = "http://127.0.0.1:" + output.substr(0, output.find('\n'));
    }
    static void TearDownTestSuite() { suite.reset(); }
    // Points the checker at a feed the server answers with this status and body.
    static void serve(int status, const std::string& body, const std::string& how = "0")
    {
        const QByteArray encoded =
            QByteArray::fromStdString(body).toBase64(QByteArray::Base64UrlEncoding);
        const std::string path =
            "/" + std::to_string(status) + "/" + how + "/b" + encoded.toStdString();
        ::setenv("TESSARY_WEBSITE", (suite->site + path).c_str(), 1);
    }
    // Waits for the check `start` begins (alerts answered by `desktop`); returns its log.
    std::string run(const std::function<void(UpdateChecker::Completion)>& start)
    {
        result.reset();
        return test::capturedLog([&] {
            start([this](const UpdateChecker::Result& finished) { result = finished; });
            EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }, test::kDeadline,
                                        [] { QCoreApplication::processEvents(); }));
        });
    }
    std::string check(bool userInitiated)
    {
        return run([&](auto done) { checker.check(userInitiated, std::move(done)); });
    }
    static bool logged(const std::string& log, const std::string& line)
    {
        return log.find("com.orvane.tessary[updates] " + line + "\n") != std::string::npos;
    }

    inline static std::unique_ptr<Suite> suite;

    test::FakeDesktop desktop;
    UpdateChecker checker{desktop, &desktop, 1500ms};
    std::optional<UpdateChecker::Result> result;
    DefaultsStore defaults() { return DefaultsStore::standard(); }
};

TEST(UpdateVersions, CompareNumberByNumber)
{
    // "a > b": a is newer than b, not the other way round; "a = b": neither is newer.
    for (const char* row : {"1.10 > 1.9", "2 = 2.0.0", "2.0.1 > 2", "0.0.1 > 0", "1.2-beta = 1.0",
                            "1.0.1 > 1.2-beta", "..1..3. > 1.2", "+2 > 1.9", "1.+-1 = 1.0",
                            "1.x.1 > 1", "1 > 1.-1", "1.9223372036854775808 = 1.0"}) {
        std::string a, relation, b;
        std::istringstream(row) >> a >> relation >> b;
        EXPECT_EQ(UpdateChecker::isNewer(a, b), relation == ">") << row;
        EXPECT_FALSE(UpdateChecker::isNewer(b, a)) << row;
    }
}

TEST_F(UpdateCheckerTest, EachAnswerOfTheFeedEndsInOneAlertWhenTheUserAsked)
{
    const std::string cannotCheck = "Couldn't check for updates";
    const std::string current = "Tessary is up to date";
    const std::string newest = "Version " + kVersion + " is the newest.";
    const std::string timedOut = "The request timed out.";
    // The server's status, how it answers and body; the outcome, the alert's two texts.
    using enum Status;
    // clang-format off
    const std::tuple<int, std::string, std::string, Status, std::string, std::string> rows[] = {
        {200, "0", kNewer, available, "Tessary 999.1 is available",
         "You have " + kVersion + ". Download the new version and install it to replace this one."},
        {200, "0", feed(kVersion + ".0"), upToDate, current, newest},
        {200, "0", feed("0.0.9"), upToDate, current, newest},
        {304, "0", "", failed, cannotCheck, kBadResponse},
        {500, "0", kNewer, failed, cannotCheck, kBadResponse},
        {200, "big", kNewer, failed, cannotCheck, kBadResponse},
        {200, "0", "<html>999.1</html>", failed, cannotCheck, kUnreadable},
        {200, "0", R"({"version": 999, "url": "https://a.org/t"})", failed, cannotCheck, kUnreadable},
        {200, "5", kNewer, failed, cannotCheck, timedOut},
        {200, "trickle", kNewer, failed, cannotCheck, timedOut}};
    // clang-format on
    for (const auto& [status, how, body, outcome, title, message] : rows) {
        SCOPED_TRACE(body);
        serve(status, body, how);
        ASSERT_FALSE(defaults().remove(kLastUpdateCheckKey));
        desktop.alerts.clear();
        const std::string log = check(true);
        EXPECT_EQ(result->status, outcome);
        ASSERT_EQ(desktop.alerts.size(), 1u);
        EXPECT_EQ(std::tie(desktop.alerts[0].messageText, desktop.alerts[0].informativeText),
                  std::tie(title, message));
        EXPECT_TRUE(logged(log, outcome == Status::failed     ? "Update check failed: " + message
                                : outcome == Status::upToDate ? "Up to date (" + kVersion + ")"
                                                              : "Update available: 999.1"))
            << log;
        // Only a feed that was read counts as a check.
        EXPECT_EQ(defaults().date(kLastUpdateCheckKey).has_value(), outcome != Status::failed);
        // Automatically, the same answer shows nothing: a failure is only logged, and the new
        // version has been announced already; a version other than the announced one is.
        for (const std::size_t alerts : {0u, outcome == Status::available ? 1u : 0u}) {
            desktop.alerts.clear();
            check(false);
            EXPECT_EQ(desktop.alerts.size(), alerts);
            ASSERT_FALSE(defaults().setString(kAnnouncedUpdateVersionKey, "999.0"));
        }
    }
}

TEST_F(UpdateCheckerTest, AFeedThatWouldMisleadIsRefusedAndButtonsOpenWhatTheySay)
{
    // Text that reorders, hides or breaks what is around it, a number beyond 64 bits, and any
    // address but an https page: refused, so neither the alert nor stdout shows them.
    for (const std::string& body :
         {feed("999.1\u202E"), feed("\u20662.0"), feed("2\u2028.0"), feed("9\u200B9"),
          feed("99999999999999999999"), feed("999.1", "http://example.org/t.deb"),
          feed("999.1", "file:///usr/bin/xterm"), feed("999.1", "javascript:alert(1)"),
          feed("999.1", "https:///t.deb")}) {
        SCOPED_TRACE(body);
        serve(200, body);
        EXPECT_TRUE(logged(check(true), "Update check failed: " + kUnreadable));
    }
    // The button pressed (Download, What’s New, Later), what opens.
    const std::string page = "https://example.org/tessary.deb";
    serve(200, feed("999.1", page));
    for (const auto& [button, opens] : {std::pair<std::size_t, std::string>{0, page},
                                        {1, productWebsite() + "/whats-new/"},
                                        {2, ""}}) {
        desktop.opened.clear();
        desktop.button = button;
        check(true);
        EXPECT_EQ(desktop.opened, std::vector<std::string>(opens.empty() ? 0 : 1, opens));
    }
}

TEST_F(UpdateCheckerTest, LaunchChecksOnlyWhenOnAndADayHasPassed)
{
    // What "checkForUpdatesAutomatically" holds (null: nothing), how many hours ago the last
    // check was (0: never), whether launch checks.
    const std::tuple<const char*, int, bool> rows[] = {
        {nullptr, 0, true},   {"true", 23, false}, {"true", 25, true}, {nullptr, -2, true},
        {"false", 25, false}, {"false", 0, false}, {"yes", 25, true},
    };
    serve(200, feed(kVersion));
    for (const auto& [automatic, hoursSince, checks] : rows) {
        SCOPED_TRACE(testing::Message() << (automatic ? automatic : "-") << " " << checks);
        ASSERT_FALSE(automatic ? defaults().setString(kCheckForUpdatesAutomaticallyKey, automatic)
                               : defaults().remove(kCheckForUpdatesAutomaticallyKey));
        const auto last = DefaultsStore::Clock::now() - std::chrono::hours(hoursSince);
        ASSERT_FALSE(hoursSince == 0 ? defaults().remove(kLastUpdateCheckKey)
                                     : defaults().setDate(kLastUpdateCheckKey, last));
        if (checks) {
            run([&](auto done) { EXPECT_TRUE(checker.checkAtLaunch(std::move(done))); });
            EXPECT_EQ(result->status, Status::upToDate);
        } else {
            EXPECT_FALSE(checker.checkAtLaunch([](const auto&) { ADD_FAILURE() << "checked"; }));
        }
    }
    EXPECT_TRUE(desktop.alerts.empty()) << "an automatic check that finds nothing stays quiet";
}

} // namespace
} // namespace tessary

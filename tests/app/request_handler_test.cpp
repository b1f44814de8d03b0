// The request road inside the host with the folder grant: for each state of the grant and
// each answer the user gives, what is logged, asked and created.
#include "creation/request_handler.h"

#include "lifecycle/host_services.h"
#include "fake_desktop.h"
#include "test_support.h"

namespace tessary {
namespace {

class RequestHandlerTest : public test::ConfigFolderTest {};

TEST_F(RequestHandlerTest, TheGrantAndTheAnswersDecideWhatIsAskedAndCreated)
{
    enum class Grant { none, held, gone, stale };
    using enum Grant;
    const fs::path root = scratchFolder() / "root";
    const fs::path target = root / "target folder";
    const fs::path oldRoot = scratchFolder() / "old root";
    // The log lines expected, without " com.orvane.tessary[", and the alerts, by their start.
    const std::string goneFolder = "The folder “" + oldRoot.string() + "” no longer exists.";
    const std::string reason = "The saved disk access is no longer valid (" + goneFolder + ").";
    const std::string failed = "ERROR create] Create failed in " + target.string() + ": ";
    const auto granted = [&](const char* folder) {
        return "INFO disk-access] Granted access to " + (scratchFolder() / folder).string();
    };
    const std::string noTemplate = "ERROR create] No template at index ";
    const std::string lost = "ERROR disk-access] Bookmark did not resolve: " + goneFolder;
    const std::string lostAccess = "ERROR create] Disk access failed: " + reason;
    const std::string denied = "Could not create untitled.txt: Operation not permitted";
    const std::string badName = "The template “Text File” has a file name or extension that "
                                "can’t be used. Names can’t be empty, “.” or “..”, or contain "
                                "“/” or “:”.";
    const std::string ask = "Tessary needs access to your disk | Grant access once";
    const std::string askAgain = "Tessary needs access to your disk | " + reason + "\n\nGrant";
    const std::string cannot = "Couldn't create the file | ";
    const std::string stale_ = "INFO disk-access] Bookmark for " + root.string() +
                               " is stale; grant access again to refresh it";
    const struct {
        const char* what;
        Grant grant;
        std::int64_t index;
        const char* panel; // none: the alert is declined; "": the panel is cancelled
        std::vector<std::string> log;
        std::vector<std::string> alerts;
        std::string created; // in the target folder
        bool rename = false;
        const char* baseName = "untitled";
    } rows[] = {
        // clang-format off
        {"first use, declined", none, 0, nullptr, {}, {ask}, ""},
        {"first use, granted", none, 1, "root", {granted("root")}, {ask}, "untitled.md"},
        {"first use, the panel cancelled", none, 0, "", {}, {ask}, ""},
        {"first use, a folder that is gone", none, 0, "missing", {},
         {ask, "Couldn't save disk access | No such file or directory"}, ""},
        {"gone, granted again", gone, 0, "root", {lost, failed + reason, lostAccess, granted("root")},
         {askAgain}, "untitled.txt"},
        {"gone, another folder granted", gone, 0, "other",
         {lost, failed + reason, lostAccess, granted("other"), failed + denied},
         {askAgain, cannot + denied}, ""},
        {"a stale grant", stale, 2, nullptr, {stale_}, {}, "untitled"},
        {"an index past the list", held, 3, nullptr, {noTemplate + "3"}, {}, ""},
        {"a negative index", held, -1, nullptr, {noTemplate + "-1"}, {}, ""},
        {"a bad name", held, 0, nullptr, {failed + badName}, {cannot + badName}, "", true, ".."},
        {"rename without a display", held, 0, nullptr,
         {"INFO rename] Rename immediately is on, but Accessibility permission is missing"}, {}, "untitled.txt", true},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(configHome());
        fs::remove_all(scratchFolder());
        for (const fs::path& folder : {target, oldRoot, scratchFolder() / "other"}) {
            fs::create_directories(folder);
        }
        test::FakeDesktop prompts;
        HostServices services{prompts};
        SharedSettings settings;
        settings.templates[0].baseName = row.baseName;
        settings.renameImmediately = row.rename;
        ASSERT_FALSE(settings.save());
        test::capturedLog([&] {
            if (row.grant != none) {
                services.diskAccess.saveGrant(row.grant == gone ? oldRoot : root);
            }
        });
        fs::remove_all(oldRoot);
        if (row.grant == stale) { // the same path, another folder
            fs::rename(root, scratchFolder() / "root-old");
            fs::create_directories(target);
        }
        if (row.panel != nullptr) { // "Grant Access…", then the folder
            prompts.button = 0;
            prompts.folder = *row.panel ? std::optional(scratchFolder() / row.panel) : std::nullopt;
        }
        std::optional<fs::path> created;
        const std::string log = test::capturedLog([&] {
            created = services.requests.performCreate({target.string(), row.index});
        });

        std::vector<std::string> lines;
        std::istringstream stream(log);
        for (std::string line; std::getline(stream, line);) {
            for (const char* category : {"[create] ", "[disk-access] ", "[rename] "}) {
                if (line.find(category) != std::string::npos) {
                    lines.push_back(line.replace(line.find(" com.orvane.tessary["), 20, " "));
                }
            }
        }
        EXPECT_EQ(lines, row.log) << log;
        ASSERT_EQ(prompts.alerts.size(), row.alerts.size());
        for (std::size_t i = 0; i < row.alerts.size(); ++i) {
            const std::string alert =
                prompts.alerts[i].messageText + " | " + prompts.alerts[i].informativeText;
            EXPECT_TRUE(alert.starts_with(row.alerts[i])) << alert;
        }
        EXPECT_EQ(created,
                  row.created.empty() ? std::nullopt : std::optional(target / row.created));
        EXPECT_EQ(fs::is_empty(target), row.created.empty());
        const int rootFolder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        EXPECT_TRUE(services.bookmarks.mayWriteIn(rootFolder)) << "the grant's scope was left open";
        ::close(rootFolder);
        EXPECT_EQ(services.loginItems.status() == LoginItemStatus::enabled,
                  log.find("Granted access") != std::string::npos)
            << "the login item is registered with the first grant through the panel";
    }
}

} // namespace
} // namespace tessary

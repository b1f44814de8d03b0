// The settings document and the store under it: what each JSON text decodes to or why it
// is refused, a stored document that is never lost, private modes, create-if-absent, and
// atomic replacement as seen from another process.
#include "shared/shared_settings.h"

#include "shared/create_request.h"

#include "test_support.h"

#include <nlohmann/json.hpp>

#include <sys/file.h>
#include <sys/stat.h>

namespace tessary {
namespace {

using nlohmann::json;

const json kNotes = json::parse(R"({"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "name": "Notes",
    "baseName": "notes", "fileExtension": "md", "contents": "# Title\n", "colour": "red"})");
const Uuid kNotesId = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

TEST(SettingsDecode, EachDocumentGivesItsValueOrFailsWhole)
{
    const auto settings = [](const std::function<void(SharedSettings&)>& change) {
        SharedSettings value;
        change(value);
        return std::optional(value);
    };
    const std::optional<SharedSettings> refused;
    // clang-format off
    std::vector<std::pair<std::string, std::optional<SharedSettings>>> rows = {
        {R"({"future": {"x": [1, 2]}, "templates": null, "rootPath": null})", SharedSettings()},
        {R"({"openAfterCreate": true})", settings([](auto& s) { s.openAfterCreate = true; })},
        {R"({"templates": []})", settings([](auto& s) { s.templates.clear(); })},
        {json{{"templates", {kNotes}}, {"defaultTemplateID", kNotes["id"]}}.dump(),
         settings([](auto& s) {
             s.templates = {{kNotesId, "Notes", "notes", "md", "# Title\n"}};
             s.defaultTemplateID = kNotesId;
         })},
        {R"({"rootBookmark": "AAEC/w==", "rootPath": "/home/me"})",
         settings([](auto& s) { s.rootBookmark = Bytes{0, 1, 2, 255}; s.rootPath = "/home/me"; })},
        {R"({"rootBookmark": ""})", settings([](auto& s) { s.rootBookmark = Bytes{}; })},
        {R"({"shortcutKeyCode": 4294967295, "shortcutModifiers": 12.0})",
         settings([](auto& s) { s.shortcutKeyCode = 4294967295u; s.shortcutModifiers = 12; })},
    };
    // clang-format on
    for (const char* text :
         {R"({"shortcutKeyCode": "45"})", R"({"shortcutKeyCode": -1})",
          R"({"shortcutKeyCode": 4294967296})", R"({"shortcutModifiers": 1.5})",
          R"({"openAfterCreate": 1})", R"({"renameImmediately": "true"})",
          R"({"shortcutLabel": ["N"]})", R"({"rootBookmark": "AAE"})",
          R"({"rootBookmark": "A@=="})", R"({"defaultTemplateID": "not-a-uuid"})",
          R"({"templates": {}})", R"({"templates": [null]})", "[]", R"({"openAfterCreate": true)",
          "\xEF\xBB\xBF{}\xFF", R"({"rootPath": "\ud800"})",
          R"({"templates": [{"id": "E621E1F8C36C495A93FC0C247A3E6E5F", "name": "", "baseName": "",
              "fileExtension": "", "contents": ""}]})"}) {
        rows.emplace_back(text, refused);
    }
    // A template with any of its five keys missing or of another type fails the document.
    for (const char* key : {"id", "name", "baseName", "fileExtension", "contents"}) {
        json missing = kNotes;
        missing.erase(key);
        rows.emplace_back(json{{"templates", {missing}}}.dump(), refused);
        for (const json& wrong : {json(), json(42), json::array(), json(true)}) {
            json bad = kNotes;
            bad[key] = wrong;
            rows.emplace_back(json{{"templates", {kNotes, bad}}}.dump(), refused);
        }
    }
    for (const auto& [text, expected] : rows) {
        try {
            EXPECT_EQ(SharedSettings::decode(text), expected) << text;
        } catch (const DecodingError& error) {
            EXPECT_FALSE(expected) << text << ": " << error.what();
        }
    }
}

class SettingsStoreTest : public test::ConfigFolderTest {};

TEST_F(SettingsStoreTest, AnUndecodableDocumentIsKeptAsideBeforeItIsReplaced)
{
    const fs::path documentPath =
        configHome() / "tessary" / "group.com.orvane.tessary" / "settings";
    const auto keptAside = [&] {
        std::vector<fs::path> kept;
        for (const auto& entry : fs::directory_iterator(documentPath.parent_path())) {
            if (entry.path().filename().string().starts_with("settings.unreadable-")) {
                kept.push_back(entry.path());
            }
        }
        return kept;
    };
    EXPECT_EQ(test::capturedLog([] { EXPECT_EQ(SharedSettings::load(), SharedSettings()); }), "");
    EXPECT_FALSE(fs::exists(documentPath)) << "loading wrote a document";
    const std::string stored = R"({"templates": [{"id": "broken"}], "rootPath": "/precious"})";
    fs::create_directories(documentPath.parent_path());
    std::ofstream(documentPath) << stored;
    const std::string log =
        test::capturedLog([] { EXPECT_EQ(SharedSettings::load(), SharedSettings()); });
    EXPECT_TRUE(log.starts_with("ERROR com.orvane.tessary[settings] Failed to decode settings, "
                                "using defaults: "))
        << log;
    EXPECT_EQ(test::readFile(documentPath), stored) << "loading changed the document";

    SharedSettings replacement;
    replacement.openAfterCreate = true;
    EXPECT_NE(test::capturedLog([&] {
                  EXPECT_FALSE(replacement.save());
              }).find("ERROR com.orvane.tessary[settings] Kept the unreadable settings as "),
              std::string::npos);
    ASSERT_EQ(keptAside().size(), 1u);
    EXPECT_EQ(test::readFile(keptAside()[0]), stored);
    EXPECT_EQ(fs::status(keptAside()[0]).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(SharedSettings::load(), replacement);
    EXPECT_FALSE(replacement.save());
    EXPECT_EQ(keptAside().size(), 1u) << "a decodable document was kept aside";
}

TEST_F(SettingsStoreTest, KeepsItsFilesPrivateCreatesOnlyOnceAndRemovesWhatKilledWritersLeft)
{
    const mode_t previousMask = ::umask(0);
    const auto store = DefaultsStore::open("group.com.orvane.tessary");
    ASSERT_TRUE(store);
    // The temporary files of a killed writer and of one still at work, which holds its file.
    const fs::path live = store->folder() / ".requestKey.Gh7jKl";
    std::ofstream(store->folder() / ".settings.Ab3dEf") << "{\"templates\":";
    std::ofstream(live) << "half";
    const int writer = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ASSERT_FALSE(store->setData("requestKey", Bytes(32, 'k')));
    ASSERT_FALSE(store->createIfAbsent("once", Bytes{1}));
    ::umask(previousMask);
    EXPECT_EQ(store->createIfAbsent("once", Bytes{2}), std::errc::file_exists);
    EXPECT_EQ(store->data("once"), Bytes{1});
    for (const fs::path& path : {configHome() / "tessary", store->folder(),
                                 store->folder() / "requestKey", store->folder() / "once"}) {
        EXPECT_EQ(fs::status(path).permissions(),
                  fs::is_directory(path) ? fs::perms::owner_all
                                         : fs::perms::owner_read | fs::perms::owner_write)
            << path;
    }
    for (const auto& entry : fs::directory_iterator(store->folder())) {
        const std::string name = entry.path().filename();
        EXPECT_TRUE(name == "requestKey" || name == "once" || name == ".lock" ||
                    entry.path() == live)
            << name << " left";
    }
    EXPECT_TRUE(fs::exists(live)) << "a writer at work lost its file";
    ::close(writer);
}

TEST_F(SettingsStoreTest, AReaderNeverSeesAPartialValueWhileAnotherProcessRewritesIt)
{
    const auto store = DefaultsStore::open("group.com.orvane.tessary");
    ASSERT_TRUE(store);
    const Bytes first(200'000, 'a');
    const Bytes second(70'000, 'b');
    ASSERT_FALSE(store->setData("settings", first));
    const pid_t writer = ::fork();
    if (writer == 0) {
        for (int i = 0; i < 400; ++i) {
            if (store->setData("settings", i % 2 == 0 ? second : first)) {
                ::_exit(1);
            }
        }
        ::_exit(0);
    }
    int reads = 0;
    int torn = 0;
    std::optional<int> status;
    for (; !status || reads < 50; ++reads) { // a few reads even if the writer was quick
        status = status ? status : test::reap(writer);
        const auto value = store->data("settings");
        torn += value == first || value == second ? 0 : 1;
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}

// A reader that keeps the decoded document sees every change of the file: while the document
// is new, even a rewrite in place that keeps the file, its size and (within one clock tick)
// its times; once it has settled, the same object until the next change.
TEST_F(SettingsStoreTest, TheKeptDocumentFollowsEveryChangeOfItsFile)
{
    SettingsCache cache;
    const fs::path path = DefaultsStore::appGroup().folder() / "settings";
    SharedSettings m;
    SharedSettings n;
    m.shortcutLabel = "Ctrl+Alt+M";
    n.shortcutLabel = "Ctrl+Alt+N";
    const auto save = [](const SharedSettings& settings) {
        ASSERT_FALSE(settings.save());
    };
    const auto rewrite = [&](const SharedSettings& settings) {
        std::fstream(path, std::ios::in | std::ios::out) << settings.encode();
    };
    const auto settle = [] {
        std::this_thread::sleep_for(SettingsCache::kSettled * 1.1);
    };
    const auto nothing = [] {
    };
    // A change, the settings it leaves, whether the next load gives the same object.
    const std::tuple<std::function<void()>, SharedSettings, bool> steps[] = {
        {nothing, SharedSettings(), true}, {[&] { save(m); }, m, false},
        {[&] { rewrite(n); }, n, false},   {settle, n, true},
        {[&] { rewrite(m); }, m, false},   {[&] { fs::remove(path); }, SharedSettings(), true},
        {[&] { save(n); }, n, false},
    };
    for (const auto& [change, expected, kept] : steps) {
        change();
        const auto loaded = cache.load();
        EXPECT_EQ(*loaded, expected) << expected.shortcutLabel;
        EXPECT_EQ(cache.load() == loaded, kept) << expected.shortcutLabel;
    }
}

// Stored values that exist but cannot be read, a store that cannot be written, and what
// killed writers leave behind: nothing blocks, nothing unreadable is replaced, no request is
// signed with a key nobody stored, and every failure is logged.
TEST_F(SettingsStoreTest, AValueThatCannotBeReadIsNeitherWaitedForNorReplacedNorSignedWith)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    for (const std::string what : {"a folder", "a FIFO", "a symbolic link"}) {
        for (const std::string_view key : {kSettingsKey, kRequestKeyKey}) {
            const fs::path path = store.folder() / key;
            fs::remove_all(path);
            what == "a folder" ? static_cast<void>(fs::create_directory(path))
            : what == "a FIFO" ? static_cast<void>(::mkfifo(path.c_str(), 0600))
                               : fs::create_symlink(scratchFolder(), path);
            const auto use = [&] {
                static_cast<void>(SharedSettings::load(store));
                EXPECT_EQ(static_cast<bool>(SharedSettings::defaults().save(store)),
                          key == kSettingsKey)
                    << what;
                EXPECT_EQ(requestKey(store), requestKey(store)) << "a new key for every request";
            };
            ASSERT_EXIT((::alarm(5), use(), std::exit(0)), ::testing::ExitedWithCode(0), "")
                << "reading " << what << " named " << key << " blocked";
            const std::string log = test::capturedLog(use);
            EXPECT_NE(log.find("Could not read the "), std::string::npos) << what << key;
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path))) << "replaced " << key;
            fs::remove_all(path);
        }
    }

    // Without a store at all.
    std::ofstream(scratchFolder() / "nowhere") << "in the way";
    ::setenv("XDG_CONFIG_HOME", (scratchFolder() / "nowhere").c_str(), 1);
    const DefaultsStore nowhere = DefaultsStore::appGroup();
    const std::string log = test::capturedLog([&] {
        EXPECT_EQ(requestKey(nowhere), requestKey(nowhere)) << "a new key for every request";
        EXPECT_TRUE(SharedSettings::defaults().save(nowhere));
    });
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << "one line per failure:\n" << log;
}

} // namespace
} // namespace tessary

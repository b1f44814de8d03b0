// The settings document: decoding rules, defaults, load and save through the store.
#include "shared_settings.h"

#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>

namespace tessary {
namespace {

using nlohmann::json;
using test::capturedLog;

const char* const kId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

json templateObject(const char* id = kId)
{
    return {{"id", id},
            {"name", "Notes"},
            {"baseName", "notes"},
            {"fileExtension", "md"},
            {"contents", ""}};
}

void expectDefaultsApartFromTemplates(const SharedSettings& settings)
{
    const SharedSettings defaults = SharedSettings::defaults();
    EXPECT_EQ(settings.defaultTemplateID, std::nullopt);
    EXPECT_FALSE(settings.openAfterCreate);
    EXPECT_FALSE(settings.renameImmediately);
    EXPECT_EQ(settings.rootBookmark, std::nullopt);
    EXPECT_EQ(settings.rootPath, std::nullopt);
    EXPECT_TRUE(settings.shortcutEnabled);
    EXPECT_EQ(settings.shortcutKeyCode, 45u);
    EXPECT_EQ(settings.shortcutModifiers, 6144u);
    EXPECT_EQ(settings.shortcutLabel, "Ctrl+Alt+N");
    EXPECT_EQ(settings.templates, builtInTemplates());
    EXPECT_EQ(settings, defaults);
}

TEST(SettingsDecode, AbsentAndNullKeysTakeTheirDefaults)
{
    expectDefaultsApartFromTemplates(SharedSettings::decode("{}"));
    json allNull = json::object();
    for (const char* key :
         {"templates", "defaultTemplateID", "openAfterCreate", "renameImmediately", "rootBookmark",
          "rootPath", "shortcutEnabled", "shortcutKeyCode", "shortcutModifiers", "shortcutLabel"}) {
        allNull[key] = nullptr;
    }
    expectDefaultsApartFromTemplates(SharedSettings::decode(allNull.dump()));
    expectDefaultsApartFromTemplates(SharedSettings::decode(R"({"future": {"x": [1, 2]}})"));

    SharedSettings onlyOpen = SharedSettings::decode(R"({"openAfterCreate": true})");
    EXPECT_TRUE(onlyOpen.openAfterCreate);
    onlyOpen.openAfterCreate = false;
    EXPECT_EQ(onlyOpen, SharedSettings::defaults());
}

TEST(SettingsDecode, PresentValuesAreRead)
{
    const struct {
        json document;
        std::function<void(const SharedSettings&)> check;
    } rows[] = {
        {{{"templates", json::array()}},
         [](const SharedSettings& s) {
             EXPECT_TRUE(s.templates.empty());
             EXPECT_EQ(s.defaultTemplateIndex(), std::nullopt);
         }},
        {{{"templates", {templateObject()}},
          {"defaultTemplateID", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}},
         [](const SharedSettings& s) {
             ASSERT_EQ(s.templates.size(), 1u);
             EXPECT_EQ(s.templates[0].name, "Notes");
             EXPECT_EQ(s.defaultTemplateID, Uuid::parse(kId));
         }},
        {{{"rootBookmark", "AAEC/w=="}, {"rootPath", "/home/me"}},
         [](const SharedSettings& s) {
             EXPECT_EQ(s.rootBookmark, (Bytes{0, 1, 2, 255}));
             EXPECT_EQ(s.rootPath, "/home/me");
             EXPECT_TRUE(s.hasDiskAccess());
         }},
        {{{"rootBookmark", ""}},
         [](const SharedSettings& s) {
             EXPECT_TRUE(s.hasDiskAccess());
         }},
        {{{"shortcutKeyCode", 4294967295u}, {"shortcutModifiers", 0}},
         [](const SharedSettings& s) {
             EXPECT_EQ(s.shortcutKeyCode, 4294967295u);
             EXPECT_EQ(s.shortcutModifiers, 0u);
         }},
        {{{"shortcutKeyCode", 12.0}},
         [](const SharedSettings& s) {
             EXPECT_EQ(s.shortcutKeyCode, 12u);
         }},
        {{{"shortcutEnabled", false}, {"renameImmediately", true}, {"shortcutLabel", "⌘⇧K"}},
         [](const SharedSettings& s) {
             EXPECT_FALSE(s.shortcutEnabled);
             EXPECT_TRUE(s.renameImmediately);
             EXPECT_EQ(s.shortcutLabel, "⌘⇧K");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.document.dump());
        row.check(SharedSettings::decode(row.document.dump()));
    }
}

TEST(SettingsDecode, AnyBadValueFailsTheWholeDocument)
{
    json missingContents = templateObject();
    missingContents.erase("contents");
    const std::string rows[] = {
        R"({"shortcutKeyCode": "45"})",
        R"({"shortcutKeyCode": -1})",
        R"({"shortcutKeyCode": 4294967296})",
        R"({"shortcutModifiers": 1.5})",
        R"({"shortcutModifiers": true})",
        R"({"openAfterCreate": 1})",
        R"({"renameImmediately": "true"})",
        R"({"shortcutEnabled": "yes"})",
        R"({"rootPath": 5})",
        R"({"shortcutLabel": ["N"]})",
        R"({"rootBookmark": "AAE"})",
        R"({"rootBookmark": "AA=C"})",
        R"({"rootBookmark": "A@=="})",
        R"({"rootBookmark": "AAEC\n"})",
        R"({"rootBookmark": 12})",
        R"({"defaultTemplateID": "not-a-uuid"})",
        R"({"defaultTemplateID": 7})",
        R"({"templates": {}})",
        R"({"templates": "Text File"})",
        R"({"templates": [null]})",
        json{{"templates", {templateObject(), missingContents}}}.dump(),
        R"([])",
        R"("settings")",
        R"(null)",
        R"({"openAfterCreate": true)",
        "",
        "\xEF\xBB\xBF{}\xFF",
        R"({"rootPath": "\ud800"})",
    };
    for (const std::string& row : rows) {
        EXPECT_THROW(SharedSettings::decode(row), DecodingError) << row;
    }
}

TEST(SettingsEncode, LeavesAbsentOptionalsOutAndRoundTrips)
{
    SharedSettings settings;
    const json plain = json::parse(settings.encode());
    for (const char* key : {"defaultTemplateID", "rootBookmark", "rootPath"}) {
        EXPECT_FALSE(plain.contains(key)) << key;
    }
    EXPECT_EQ(plain.size(), 7u);
    EXPECT_EQ(SharedSettings::decode(settings.encode()), settings);

    settings.defaultTemplateID = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    settings.rootBookmark = Bytes{0xde, 0xad, 0xbe, 0xef, 0x00};
    settings.rootPath = "/home/me/Ordner mit Ä";
    settings.shortcutModifiers = 0x0300;
    const json full = json::parse(settings.encode());
    EXPECT_EQ(full["defaultTemplateID"], kId);
    EXPECT_EQ(full["rootBookmark"], "3q2+7wA=");
    EXPECT_EQ(SharedSettings::decode(settings.encode()), settings);
}

TEST(SettingsDefaultIndex, FallsBackToTheFirstTemplate)
{
    SharedSettings settings;
    settings.templates = {
        fileTemplateFromJson(templateObject().dump()),
        fileTemplateFromJson(templateObject("11111111-2222-4333-8444-555555555555").dump()),
        fileTemplateFromJson(templateObject("11111111-2222-4333-8444-555555555555").dump())};
    EXPECT_EQ(settings.defaultTemplateIndex(), 0u);
    settings.defaultTemplateID = Uuid::parse("11111111-2222-4333-8444-555555555555");
    EXPECT_EQ(settings.defaultTemplateIndex(), 1u) << "the first of two matches";
    settings.defaultTemplateID = Uuid::random();
    EXPECT_EQ(settings.defaultTemplateIndex(), 0u) << "a deleted default";
}

class SettingsStoreTest : public test::ConfigFolderTest {
protected:
    std::filesystem::path documentPath() const
    {
        return domainFolder("group.com.orvane.tessary") / "settings";
    }
    void storeRaw(const std::string& bytes) const
    {
        const DefaultsStore store = DefaultsStore::appGroup();
        ASSERT_FALSE(store.setData(
            kSettingsKey, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
    }
    std::string readRaw(const std::filesystem::path& path) const
    {
        const auto bytes = DefaultsStore::appGroup().data(path.filename().string());
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<absent>");
    }
};

TEST_F(SettingsStoreTest, LoadWithoutADocumentGivesDefaultsAndWritesNothing)
{
    const std::string log =
        capturedLog([] { expectDefaultsApartFromTemplates(SharedSettings::load()); });
    EXPECT_EQ(log, "");
    EXPECT_FALSE(std::filesystem::exists(documentPath()));
}

TEST_F(SettingsStoreTest, SaveThenLoadGivesTheSameDocument)
{
    SharedSettings settings;
    settings.templates.push_back(fileTemplateFromJson(templateObject().dump()));
    settings.renameImmediately = true;
    settings.rootPath = "/srv/data";
    EXPECT_FALSE(settings.save());
    EXPECT_EQ(SharedSettings::load(), settings);
}

TEST_F(SettingsStoreTest, UndecodableDocumentLogsAndLeavesTheBytesAlone)
{
    const std::string stored = R"({"shortcutKeyCode": "45", "templates": []})";
    storeRaw(stored);
    SharedSettings loaded;
    const std::string log = capturedLog([&] { loaded = SharedSettings::load(); });
    EXPECT_EQ(loaded, SharedSettings::defaults());
    EXPECT_TRUE(log.starts_with("ERROR com.orvane.tessary[settings] Failed to decode settings, "
                                "using defaults: "))
        << log;
    EXPECT_NE(log.find("shortcutKeyCode"), std::string::npos) << log;
    EXPECT_EQ(readRaw(documentPath()), stored);
}

TEST_F(SettingsStoreTest, SavingOverAnUndecodableDocumentKeepsItAside)
{
    const std::string stored = R"({"templates": [{"id": "broken"}], "rootPath": "/precious"})";
    storeRaw(stored);
    SharedSettings replacement;
    replacement.openAfterCreate = true;
    const std::string log = capturedLog([&] { static_cast<void>(replacement.save()); });
    EXPECT_NE(log.find("ERROR com.orvane.tessary[settings] Kept the unreadable settings as "),
              std::string::npos)
        << log;
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(documentPath().parent_path())) {
        if (entry.path().filename().string().starts_with("settings.unreadable-")) {
            kept.push_back(entry.path());
        }
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readRaw(kept[0]), stored);
    EXPECT_EQ(std::filesystem::status(kept[0]).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(SharedSettings::load(), replacement);

    // A second save replaces a decodable document without keeping anything more.
    EXPECT_FALSE(replacement.save());
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(documentPath().parent_path())) {
        count += entry.path().filename().string().starts_with("settings.unreadable-") ? 1u : 0u;
    }
    EXPECT_EQ(count, 1u);
}

TEST_F(SettingsStoreTest, UnencodableDocumentIsNotWritten)
{
    SharedSettings original;
    EXPECT_FALSE(original.save());
    SharedSettings broken;
    broken.templates[0].name = "bad \xC3\x28 text";
    const std::string log = capturedLog([&] { static_cast<void>(broken.save()); });
    EXPECT_TRUE(log.starts_with("ERROR com.orvane.tessary[settings] Failed to encode settings: "))
        << log;
    EXPECT_EQ(SharedSettings::load(), original);
}

TEST_F(SettingsStoreTest, FallsBackToTheOwnDomainWhenTheGroupCannotBeOpened)
{
    std::filesystem::create_directories(configHome() / "tessary");
    {
        std::ofstream blocker(configHome() / "tessary" / "group.com.orvane.tessary");
    }
    SharedSettings settings;
    settings.shortcutEnabled = false;
    EXPECT_FALSE(settings.save());
    EXPECT_TRUE(std::filesystem::exists(domainFolder("com.orvane.tessary") / "settings"));
    EXPECT_FALSE(SharedSettings::load().shortcutEnabled);
}

} // namespace
} // namespace tessary

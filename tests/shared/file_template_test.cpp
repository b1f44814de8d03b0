// Template record: JSON form, equality, file name, name rule, built-in list.
#include "file_template.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <thread>
#include <unordered_set>

namespace tessary {
namespace {

using nlohmann::json;

FileTemplate sample()
{
    return {*Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), "Notes", "notes", "md",
            "# Title\n\nÄrger über Umlaute\n"};
}

TEST(FileTemplateJson, RoundTripsWithExactlyFiveKeysAndUpperCaseId)
{
    const FileTemplate original = sample();
    const json object = toJson(original);
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) {
        keys.insert(key);
    }
    EXPECT_EQ(keys, (std::set<std::string>{"id", "name", "baseName", "fileExtension", "contents"}));
    EXPECT_EQ(object["id"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(fileTemplateFromJson(object.dump()), original);
}

TEST(FileTemplateJson, AcceptsLowerCaseIdAndIgnoresUnknownKeys)
{
    json object = toJson(sample());
    object["id"] = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
    object["colour"] = "red";
    EXPECT_EQ(fileTemplateFromJson(object.dump()), sample());
}

TEST(FileTemplateJson, MissingOrMistypedKeysFail)
{
    const json valid = toJson(sample());
    struct Row {
        const char* what;
        json value;
    };
    std::vector<Row> rows;
    for (const char* key : {"id", "name", "baseName", "fileExtension", "contents"}) {
        json missing = valid;
        missing.erase(key);
        rows.push_back({key, missing});
        for (const json& wrong : {json(nullptr), json(42), json::array(), json(true)}) {
            json mistyped = valid;
            mistyped[key] = wrong;
            rows.push_back({key, mistyped});
        }
    }
    for (const char* badId :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
          "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC_0C247A3E6E5F",
          "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"}) {
        json object = valid;
        object["id"] = badId;
        rows.push_back({badId, object});
    }
    rows.push_back({"array", json::array({valid})});
    rows.push_back({"string", json("template")});
    for (const Row& row : rows) {
        EXPECT_THROW(fileTemplateFromJson(row.value.dump()), DecodingError)
            << row.what << ": " << row.value;
    }
}

TEST(FileTemplate, EqualityAndHashCoverEveryField)
{
    const FileTemplate base = sample();
    EXPECT_EQ(std::hash<FileTemplate>{}(base), std::hash<FileTemplate>{}(sample()));
    std::vector<FileTemplate> variants(5, base);
    variants[0].id = Uuid::random();
    variants[1].name = "Other";
    variants[2].baseName = "other";
    variants[3].fileExtension = "txt";
    variants[4].contents = "";
    std::unordered_set<std::size_t> hashes{std::hash<FileTemplate>{}(base)};
    for (const FileTemplate& variant : variants) {
        EXPECT_NE(variant, base);
        hashes.insert(std::hash<FileTemplate>{}(variant));
    }
    EXPECT_EQ(hashes.size(), 6u) << "a field does not feed the hash";
}

TEST(FileTemplate, FileName)
{
    const struct {
        const char* baseName;
        const char* ext;
        const char* expected;
    } rows[] = {
        {"untitled", "txt", "untitled.txt"},
        {"untitled", "", "untitled"},
        {" spaced ", "tar.gz", " spaced .tar.gz"},
        {".env", "local", ".env.local"},
    };
    for (const auto& row : rows) {
        FileTemplate fileTemplate{Uuid::random(), "x", row.baseName, row.ext, ""};
        EXPECT_EQ(fileTemplate.fileName(), row.expected);
    }
}

TEST(FileTemplate, UsableNameComponents)
{
    const struct {
        std::string text;
        bool usable;
    } rows[] = {
        {"", false},        {".", false},   {"..", false},        {"a/b", false},
        {"/", false},       {"a:b", false}, {":", false},         {std::string("a\0b", 3), false},
        {"...", true},      {" ", true},    {".hidden", true},    {"Café Résumé", true},
        {"untitled", true}, {"a\\b", true}, {"  padded  ", true}, {"日本語", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isUsableNameComponent(row.text), row.usable) << '"' << row.text << '"';
    }
}

TEST(BuiltInTemplates, ThreeStableTemplatesWithDistinctIds)
{
    std::vector<const std::vector<FileTemplate>*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) {
        threads.emplace_back([&slot] { slot = &builtInTemplates(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto* list : seen) {
        EXPECT_EQ(list, seen.front());
    }
    const auto& templates = builtInTemplates();
    ASSERT_EQ(templates.size(), 3u);
    EXPECT_EQ(templates[0].fileName(), "untitled.txt");
    EXPECT_EQ(templates[1].fileName(), "untitled.md");
    EXPECT_EQ(templates[2].fileName(), "untitled");
    for (const auto& fileTemplate : templates) {
        EXPECT_TRUE(fileTemplate.contents.empty());
    }
    EXPECT_NE(templates[0].id, templates[1].id);
    EXPECT_NE(templates[1].id, templates[2].id);
    EXPECT_EQ(templates[0].id.toString()[14], '4') << "random UUIDs are version 4";
}

} // namespace
} // namespace tessary

// Icon symbols for extensions: the authored table, cleaning, and the MIME fallback.
#include "template_symbols.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace tessary {
namespace {

std::vector<std::string> words(std::string_view list)
{
    std::istringstream stream{std::string(list)};
    std::vector<std::string> out;
    for (std::string word; stream >> word;) {
        out.push_back(word);
    }
    return out;
}

TEST(SymbolTable, FiftyGroupsOf691DistinctLowerCaseExtensions)
{
    const auto groups = extensionSymbolGroups();
    EXPECT_EQ(groups.size(), 50u);
    std::set<std::string> symbols;
    std::map<std::string, std::string> owner;
    std::size_t total = 0;
    for (const SymbolGroup& group : groups) {
        EXPECT_TRUE(symbols.insert(std::string(group.symbol)).second) << group.symbol;
        for (const std::string& ext : words(group.extensions)) {
            ++total;
            const auto [it, inserted] = owner.emplace(ext, group.symbol);
            EXPECT_TRUE(inserted) << ext << " is in " << it->second << " and " << group.symbol;
            EXPECT_TRUE(std::none_of(ext.begin(), ext.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || c == '.' || c == ' ';
            })) << ext;
        }
    }
    EXPECT_EQ(total, 691u);
    for (const auto& [ext, symbol] : owner) {
        EXPECT_EQ(symbolName(ext), symbol) << ext;
    }
}

TEST(SymbolName, CleansCaseDotsAndSpaces)
{
    const struct {
        const char* ext;
        const char* symbol;
    } rows[] = {
        {"json", "curlybraces"},
        {"JSON", "curlybraces"},
        {"  .JSON.", "curlybraces"},
        {".json", "curlybraces"},
        {"json. ", "curlybraces"},
        {"Json", "curlybraces"},
        {"", "doc"},
        {"   ", "doc"},
        {".", "doc"},
        {". .", "doc"},
        {"key", "rectangle.on.rectangle.angled"},
        {"sig", "key"},
        {"TAR.GZ", "doc.zipper"},
        {"Dockerfile", "shippingbox"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(symbolName(row.ext), row.symbol) << '"' << row.ext << '"';
    }
}

TEST(SymbolName, FallsBackToTheMimeDatabaseForExtensionsMissingFromTheTable)
{
    const struct {
        const char* ext;
        const char* symbol;
    } rows[] = {
        {"cl", "chevron.left.forwardslash.chevron.right"},   // OpenCL, a kind of C source
        {"vala", "chevron.left.forwardslash.chevron.right"}, // source code
        {"glade", "doc.text"},                               // an XML dialect is text
        {"s3m", "waveform"},                                 // tracker music
        {"ogx", "doc"},                                      // an Ogg container of any kind
        {"spx", "waveform"},                                 // two audio types claim it
        {"ly", "doc.text"},                                  // plain text of its own kind
        {"qzx-unknown", "doc"},                              // nobody knows it
        {"QZX-Unknown", "doc"},                              // remembered under its clean form
        {"ünïcode", "doc"},
        {"a/b", "doc"},
    };
    for (int pass = 0; pass < 2; ++pass) { // the second pass is answered from memory
        for (const auto& row : rows) {
            EXPECT_EQ(symbolName(row.ext), row.symbol) << row.ext << " pass " << pass;
        }
    }
}

TEST(SymbolName, ConcurrentCallersAgree)
{
    const std::vector<std::string> exts = {"json", "cl",    "unknownzz1", "unknownzz2", "vala",
                                           "spx",  "SWIFT", "  md",       "weird-ext-3"};
    std::vector<std::vector<std::string>> results(6);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&] {
            for (const auto& ext : exts) {
                result.emplace_back(symbolName(ext));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, results.front());
    }
}

TEST(SymbolForContentType, MoreSpecificKindsComeFirst)
{
    const struct {
        const char* type;
        const char* symbol;
    } rows[] = {
        {"application/x-shellscript", "terminal"}, // also text: the script kind wins
        {"application/x-csh", "terminal"},         // a subclass of shell script
        {"text/x-csrc", "chevron.left.forwardslash.chevron.right"},
        {"application/x-ruby", "chevron.left.forwardslash.chevron.right"},
        {"application/json", "curlybraces"}, // a JavaScript descendant in the database
        {"application/javascript", "chevron.left.forwardslash.chevron.right"},
        {"application/xml", "chevron.left.forwardslash.chevron.right"},
        {"text/html", "globe"},
        {"image/svg+xml", "scribble.variable"}, // an XML descendant, and before image
        {"application/x-glade", "doc.text"},
        {"image/png", "photo"},
        {"video/mp4", "film"},
        {"audio/ogg", "waveform"},
        {"application/x-compressed-tar", "doc.zipper"},
        {"text/x-log", "list.bullet.rectangle"},
        {"text/csv", "tablecells"}, // delimited text before text
        {"text/plain", "doc.text"},
        {"application/vnd.oasis.opendocument.text", "doc.richtext"}, // a ZIP descendant
        {"application/zip", "doc.zipper"},
        {"application/octet-stream", "doc"},
        {"x-unknown/nothing", "doc"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(symbolForContentType(row.type), row.symbol) << row.type;
    }
}

} // namespace
} // namespace tessary

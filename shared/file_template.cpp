// FileTemplate's JSON form, built-in list and name rule.
#include "shared/file_template.h"

#include "shared/json_decoding.h"
#include "shared/localization.h"

#include <algorithm>

#include <glib.h>
#include <nlohmann/json.hpp>

namespace tessary {
namespace {

std::string_view requireString(simdjson::dom::object object, const char* key)
{
    const auto found = object[key];
    if (found.error() == simdjson::NO_SUCH_FIELD) {
        throw DecodingError(format("The template key “%s” is missing.", key));
    }
    std::string_view text;
    if (found.get(text) != simdjson::SUCCESS) {
        throw DecodingError(format("The template value for “%s” is not a string.", key));
    }
    return text;
}

} // namespace

namespace decoding {

simdjson::dom::element parse(std::string_view text)
{
    thread_local simdjson::dom::parser parser;
    simdjson::dom::element document;
    if (const auto error = parser.parse(text.data(), text.size()).get(document)) {
        throw DecodingError(
            format("The data isn’t valid JSON (%s).", simdjson::error_message(error)));
    }
    return document;
}

FileTemplate decodeTemplate(simdjson::dom::element element)
{
    simdjson::dom::object object;
    if (element.get(object) != simdjson::SUCCESS) {
        throw DecodingError("A template is not a JSON object.");
    }
    const auto id = Uuid::parse(requireString(object, "id"));
    if (!id) {
        throw DecodingError("A template id is not a valid UUID.");
    }
    return FileTemplate{
        .id = *id,
        .name = std::string(requireString(object, "name")),
        .baseName = std::string(requireString(object, "baseName")),
        .fileExtension = std::string(requireString(object, "fileExtension")),
        .contents = std::string(requireString(object, "contents")),
    };
}

} // namespace decoding

namespace {

// A tab or a space separator (general category Zs); an invalid sequence is no blank.
bool isBlankAt(const char* at, const char* end)
{
    const gunichar c = g_utf8_get_char_validated(at, end - at);
    return c == '\t' || (c < 0xFFFFFFFE && g_unichar_type(c) == G_UNICODE_SPACE_SEPARATOR);
}

std::string_view trimmedLabel(std::string_view label)
{
    const char* begin = label.data();
    const char* end = begin + label.size();
    while (begin < end && isBlankAt(begin, end)) {
        begin = g_utf8_next_char(begin);
    }
    while (begin < end) {
        const char* last = g_utf8_find_prev_char(begin, end);
        if (last == nullptr || g_utf8_next_char(last) != end || !isBlankAt(last, end)) {
            break;
        }
        end = last;
    }
    return {begin, static_cast<std::size_t>(end - begin)};
}

} // namespace

bool FileTemplate::hasBlankLabel() const
{
    return trimmedLabel(name).empty();
}

std::string FileTemplate::menuLabel() const
{
    const std::string_view trimmed = trimmedLabel(name);
    return trimmed.empty() ? fileName() : std::string(trimmed);
}

std::optional<std::size_t> indexOfTemplate(const std::vector<FileTemplate>& templates,
                                           const Uuid& id)
{
    const auto found = std::find_if(templates.begin(), templates.end(),
                                    [&](const FileTemplate& t) { return t.id == id; });
    if (found == templates.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - templates.begin());
}

std::string FileTemplate::fileName() const
{
    return fileExtension.empty() ? baseName : baseName + "." + fileExtension;
}

nlohmann::json toJson(const FileTemplate& fileTemplate)
{
    return {
        {"id", fileTemplate.id.toString()},  {"name", fileTemplate.name},
        {"baseName", fileTemplate.baseName}, {"fileExtension", fileTemplate.fileExtension},
        {"contents", fileTemplate.contents},
    };
}

const std::vector<FileTemplate>& builtInTemplates()
{
    static const std::vector<FileTemplate> templates = {
        {Uuid::random(), tr("Text File"), "untitled", "txt", ""},
        {Uuid::random(), tr("Markdown File"), "untitled", "md", ""},
        {Uuid::random(), tr("Empty File"), "untitled", "", ""},
    };
    return templates;
}

bool isUsableNameComponent(std::string_view text)
{
    return !text.empty() && text != "." && text != ".." &&
           text.find_first_of(std::string_view("/:\0", 3)) == std::string_view::npos;
}

} // namespace tessary

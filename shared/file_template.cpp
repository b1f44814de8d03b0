// FileTemplate's JSON form, built-in list and name rule.
#include "file_template.h"

#include "localization.h"

#include <nlohmann/json.hpp>

namespace tessary {
namespace {

const std::string& requireString(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(format("The template key “%s” is missing.", key));
    }
    if (!found->is_string()) {
        throw DecodingError(format("The template value for “%s” is not a string.", key));
    }
    return found->get_ref<const std::string&>();
}

} // namespace

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

FileTemplate fileTemplateFromJson(const nlohmann::json& object)
{
    if (!object.is_object()) {
        throw DecodingError("A template is not a JSON object.");
    }
    const auto id = Uuid::parse(requireString(object, "id"));
    if (!id) {
        throw DecodingError("A template id is not a valid UUID.");
    }
    return FileTemplate{
        .id = *id,
        .name = requireString(object, "name"),
        .baseName = requireString(object, "baseName"),
        .fileExtension = requireString(object, "fileExtension"),
        .contents = requireString(object, "contents"),
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

std::size_t std::hash<tessary::FileTemplate>::operator()(
    const tessary::FileTemplate& fileTemplate) const noexcept
{
    // Fed in field order: the id, then the four strings.
    std::size_t seed = std::hash<tessary::Uuid>{}(fileTemplate.id);
    const auto mix = [&seed](std::string_view text) {
        seed ^=
            std::hash<std::string_view>{}(text) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    mix(fileTemplate.name);
    mix(fileTemplate.baseName);
    mix(fileTemplate.fileExtension);
    mix(fileTemplate.contents);
    return seed;
}

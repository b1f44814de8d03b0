// The file template record, its JSON form, the built-in templates and the name rule.
#pragma once

#include "shared/uuid.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

// A stored document does not have the expected form. what() names the offending value.
class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FileTemplate {
    Uuid id;
    std::string name;          // menu label; may be blank
    std::string baseName;      // file name without extension, used exactly as stored
    std::string fileExtension; // without the dot; empty means no extension
    std::string contents;      // initial text of the created file

    // baseName, or baseName + "." + fileExtension when there is an extension.
    std::string fileName() const;
    // True when the label is empty once blanks (tabs and Unicode space separators, not line
    // breaks) are trimmed from both ends.
    bool hasBlankLabel() const;
    // The label as menus show it: trimmed of blanks, or the file name when it is blank
    // ("untitled.txt").
    std::string menuLabel() const;

    friend bool operator==(const FileTemplate&, const FileTemplate&) = default;
};

// The five keys "id", "name", "baseName", "fileExtension" and "contents", all required.
nlohmann::json toJson(const FileTemplate& fileTemplate);
// The position of the template with `id` in `templates`, or none.
std::optional<std::size_t> indexOfTemplate(const std::vector<FileTemplate>& templates,
                                           const Uuid& id);

// Text File, Markdown File and Empty File, with names in the current language. Made once
// per process (concurrent first callers wait), so their ids are stable for its lifetime.
const std::vector<FileTemplate>& builtInTemplates();

// False for "", ".", "..", and any text containing "/", ":" or NUL; true otherwise
// (nothing is trimmed, so spaces, leading dots and non-ASCII letters are fine).
bool isUsableNameComponent(std::string_view text);

} // namespace tessary

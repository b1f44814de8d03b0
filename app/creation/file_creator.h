// Turns a template and a folder into a new file under a free name, never replacing
// anything. Showing and opening it afterwards is the caller's step.
#pragma once

#include "platform/bookmarks.h"
#include "shared/file_template.h"
#include "shared/shared_settings.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tessary {

class FileCreatorError : public std::runtime_error {
public:
    enum class Case { failed, invalidName };

    // The file at `file` could not be written; the description names its last component.
    static FileCreatorError failed(const std::filesystem::path& file, std::error_code error);
    // The template's base name or extension cannot be used on disk.
    static FileCreatorError invalidName(const std::string& templateName);

    Case kind() const { return m_case; }
    const std::filesystem::path& path() const { return m_path; }
    std::error_code underlying() const { return m_underlying; }

private:
    FileCreatorError(Case kind, const std::string& description);

    Case m_case;
    std::filesystem::path m_path;
    std::error_code m_underlying;
};

// Candidate `n` of base, base-2, base-3, ... (n >= 2), with ".ext" when the extension is not
// empty. Existing numbers are not parsed: the search always starts at the plain name.
std::string numberedName(const std::string& baseName, const std::string& fileExtension,
                         unsigned long long n);

class FileCreator {
public:
    explicit FileCreator(Bookmarks& bookmarks);

    // Creates the file and returns its path; throws FileCreatorError.
    std::filesystem::path create(const FileTemplate& fileTemplate,
                                 const std::filesystem::path& directory);

private:
    Bookmarks& m_bookmarks;
};

} // namespace tessary

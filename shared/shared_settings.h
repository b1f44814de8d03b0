// The one settings document of the system, shared by the host and the file-manager
// extension through the app-group defaults domain under the key "settings".
#pragma once

#include "shared/defaults_store.h"
#include "shared/file_template.h"
#include "shared/uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tessary {

inline constexpr std::string_view kSettingsKey = "settings";

// Why save() left the stored document as it was; the descriptions are for the user.
enum class SettingsError {
    unreadable = 1, // it exists but cannot be read
    notKeptAside,   // it does not decode and could not be kept aside
};
std::error_code make_error_code(SettingsError error);

struct SharedSettings {
    std::vector<FileTemplate> templates = builtInTemplates(); // menu order; index = tag
    std::optional<Uuid> defaultTemplateID;
    bool openAfterCreate = false;
    bool renameImmediately = false;
    std::optional<Bytes> rootBookmark; // the granted folder's bookmark
    std::optional<std::string> rootPath;
    bool shortcutEnabled = true;
    std::uint32_t shortcutKeyCode = 45;       // N
    std::uint32_t shortcutModifiers = 0x1800; // control + option
    std::string shortcutLabel = "Ctrl+Alt+N";

    static SharedSettings defaults() { return {}; }

    // True exactly when a bookmark is stored, whether or not it still resolves.
    bool hasDiskAccess() const { return rootBookmark.has_value(); }
    // The first template with defaultTemplateID, else 0; none when there are no templates.
    std::optional<std::size_t> defaultTemplateIndex() const;
    // The template at `index` (a request's or the command line's), or none out of range.
    const FileTemplate* templateAt(std::int64_t index) const;

    // The stored document, or the defaults when there is none or it does not decode (the
    // failure is logged; the stored bytes are left alone). Never fails.
    static SharedSettings load();
    static SharedSettings load(const DefaultsStore& store);

    // Writes the whole document; failures are logged and returned. A stored document that
    // does not decode is first kept aside under "settings.unreadable-<UTC time>", and if that
    // is not possible, or the stored one cannot be read at all, nothing is replaced.
    [[nodiscard]] std::error_code save() const;
    [[nodiscard]] std::error_code save(const DefaultsStore& store) const;

    // Throws DecodingError. Each key may be absent or null (its default applies); a present
    // value of the wrong type fails the whole document; unknown keys are ignored.
    static SharedSettings decode(std::string_view json);
    // Optional fields that are absent are left out. Throws if a text is not valid UTF-8.
    std::string encode() const;

    friend bool operator==(const SharedSettings&, const SharedSettings&) = default;
};

} // namespace tessary

template <> struct std::is_error_code_enum<tessary::SettingsError> : std::true_type {
};

// The one settings document of the system, shared by the host and the file-manager
// extension through the app-group defaults domain under the key "settings".
#pragma once

#include "shared/defaults_store.h"
#include "shared/file_template.h"
#include "shared/uuid.h"

#include <chrono>
#include <cstdint>
#include <memory>
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

// The stored document for a reader that asks for it on every right-click (the file manager's
// menu): one stat of the document's file when it is unchanged, and the read and decode again
// when its stamp differs. Values are written by renaming a new file over the old one, so a
// new document has a new file; only a file number given out again to a document of the same
// size within the same clock tick would keep the stamp. A stamp is therefore trusted only
// when the file changed well before the read began (every write that could share its times
// was done by then, and any later one has later times), and only on a local file system.
// Documents that cannot be read or decoded are read again every time, as load() does.
// Not thread-safe: one caller at a time.
class SettingsCache {
public:
    // Longer than the coarsest clock tick of the file systems trusted (ext4 without
    // nanosecond times counts whole seconds).
    static constexpr std::chrono::nanoseconds kSettled = std::chrono::seconds(2);

    // As SharedSettings::load(), the same object as the last time while the stamp holds.
    std::shared_ptr<const SharedSettings> load();

private:
    std::string m_configHome; // $XDG_CONFIG_HOME and $HOME when the store's folder was found
    std::string m_home;
    std::optional<DefaultsStore> m_store;
    bool m_exactStamps = false;
    std::shared_ptr<const SharedSettings> m_settings; // set while the stamp below holds
    std::optional<ValueStamp> m_stamp;                // none: no document was stored
};

} // namespace tessary

template <> struct std::is_error_code_enum<tessary::SettingsError> : std::true_type {
};

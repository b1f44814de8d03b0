// GSettings: the custom-keybindings list, Tessary's relocatable entry, and the accelerators
// of GNOME's other keybinding schemas.
#include "platform/linux/gnome_keybinding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include <gio/gio.h>

namespace tessary {
namespace {

constexpr const char* kMediaKeysSchema = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kEntrySchema =
    "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kListKey = "custom-keybindings";
// Schemas whose keys hold accelerators a new binding must not take.
constexpr std::array<const char*, 5> kBindingSchemas = {
    "org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings",
    "org.gnome.mutter.keybindings", "org.gnome.mutter.wayland.keybindings", kMediaKeysSchema};

enum : unsigned { kShift = 1, kControl = 2, kAlt = 4, kSuper = 8, kHyper = 16, kMeta = 32 };

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

GSettingsSchema* lookUpSchema(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return source != nullptr ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
}

bool setStringList(GSettings* settings, const char* key, const std::vector<std::string>& list)
{
    std::vector<const gchar*> values;
    for (const std::string& value : list) {
        values.push_back(value.c_str());
    }
    values.push_back(nullptr);
    return g_settings_set_strv(settings, key, values.data());
}

std::string stringValue(GSettings* settings, const char* key)
{
    g_autofree gchar* value = g_settings_get_string(settings, key);
    return value;
}

bool listsEntry(GSettings* mediaKeys)
{
    const std::vector<std::string> list = stringList(mediaKeys, kListKey);
    return std::find(list.begin(), list.end(), GnomeKeybinding::kEntryPath) != list.end();
}

// Every accelerator the keys of `settings` hold, whether a key is one text or a list.
std::vector<std::string> accelerators(GSettings* settings, GSettingsSchema* schema)
{
    std::vector<std::string> found;
    g_auto(GStrv) keys = g_settings_schema_list_keys(schema);
    for (gchar** key = keys; *key != nullptr; ++key) {
        g_autoptr(GVariant) value = g_settings_get_value(settings, *key);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            found.emplace_back(g_variant_get_string(value, nullptr));
        } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
            g_autofree const gchar** texts = g_variant_get_strv(value, nullptr);
            for (const gchar** text = texts; *text != nullptr; ++text) {
                found.emplace_back(*text);
            }
        }
    }
    return found;
}

// The accelerators GNOME binds already, Tessary's own entry left out.
std::vector<std::string> boundAccelerators()
{
    std::vector<std::string> bound;
    for (const char* id : kBindingSchemas) {
        g_autoptr(GSettingsSchema) schema = lookUpSchema(id);
        if (schema == nullptr) {
            continue;
        }
        g_autoptr(GSettings) settings = g_settings_new_full(schema, nullptr, nullptr);
        const auto found = accelerators(settings, schema);
        bound.insert(bound.end(), found.begin(), found.end());
        if (std::string_view(id) == kMediaKeysSchema) {
            for (const std::string& path : stringList(settings, kListKey)) {
                if (path != GnomeKeybinding::kEntryPath) {
                    g_autoptr(GSettings) entry =
                        g_settings_new_with_path(kEntrySchema, path.c_str());
                    bound.push_back(stringValue(entry, "binding"));
                }
            }
        }
    }
    return bound;
}

} // namespace

std::vector<std::string> stringList(GSettings* settings, const char* key)
{
    g_auto(GStrv) values = g_settings_get_strv(settings, key);
    return {values, values + g_strv_length(values)};
}

std::optional<Accelerator> parseAccelerator(std::string_view text)
{
    static const std::array<std::pair<std::string_view, unsigned>, 11> kNames = {{
        {"shift", kShift},
        {"control", kControl},
        {"ctrl", kControl},
        {"ctl", kControl},
        {"primary", kControl},
        {"alt", kAlt},
        {"mod1", kAlt},
        {"super", kSuper},
        {"mod4", kSuper},
        {"hyper", kHyper},
        {"meta", kMeta},
    }};
    Accelerator accelerator;
    while (!text.empty() && text.front() == '<') {
        const std::size_t end = text.find('>');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string name = lower(text.substr(1, end - 1));
        const auto found = std::find_if(kNames.begin(), kNames.end(),
                                        [&](const auto& entry) { return entry.first == name; });
        if (found == kNames.end()) {
            return std::nullopt;
        }
        accelerator.modifiers |= found->second;
        text.remove_prefix(end + 1);
    }
    if (text.empty() || text == "disabled" || text.find('<') != std::string_view::npos) {
        return std::nullopt;
    }
    accelerator.key = lower(text);
    return accelerator;
}

GnomeKeybinding::GnomeKeybinding(std::string command) : m_command(std::move(command))
{
}

bool GnomeKeybinding::available()
{
    g_autoptr(GSettingsSchema) list = lookUpSchema(kMediaKeysSchema);
    g_autoptr(GSettingsSchema) entry = lookUpSchema(kEntrySchema);
    return list != nullptr && entry != nullptr;
}

ShortcutRegistration GnomeKeybinding::bind(const ShortcutKeys& keys)
{
    // GSettings strings are UTF-8: a program installed under another encoding has no command.
    const auto wanted = parseAccelerator(keys.accelerator);
    if (!available() || !wanted || !g_utf8_validate(m_command.c_str(), -1, nullptr)) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    for (const std::string& bound : boundAccelerators()) {
        if (parseAccelerator(bound) == wanted) {
            return {ShortcutRegistration::Outcome::inUse, kShortcutTaken};
        }
    }
    const std::pair<const char*, std::string> values[] = {
        {"name", "Tessary: new file from the default template"},
        {"command", m_command},
        {"binding", keys.accelerator}};
    g_autoptr(GSettings) entry = g_settings_new_with_path(kEntrySchema, kEntryPath);
    g_autoptr(GSettings) mediaKeys = g_settings_new(kMediaKeysSchema);
    bool written = g_settings_is_writable(mediaKeys, kListKey);
    for (const auto& [key, value] : values) {
        written = written && g_settings_is_writable(entry, key) &&
                  g_settings_set_string(entry, key, value.c_str());
    }
    if (written && !listsEntry(mediaKeys)) {
        std::vector<std::string> list = stringList(mediaKeys, kListKey);
        list.emplace_back(kEntryPath);
        written = setStringList(mediaKeys, kListKey, list);
    }
    // A write the settings service refuses (dconf unreachable, a locked key) is undone once it
    // has been tried: what reads back after the sync is what GNOME will run.
    g_settings_sync();
    for (const auto& [key, value] : values) {
        written = written && stringValue(entry, key) == value;
    }
    if (!written || !listsEntry(mediaKeys)) {
        return {ShortcutRegistration::Outcome::failed, kShortcutNotStored};
    }
    return {ShortcutRegistration::Outcome::registered, 0};
}

void GnomeKeybinding::remove()
{
    if (!available()) {
        return;
    }
    g_autoptr(GSettings) mediaKeys = g_settings_new(kMediaKeysSchema);
    std::vector<std::string> list = stringList(mediaKeys, kListKey);
    const auto kept = std::remove(list.begin(), list.end(), kEntryPath);
    if (kept == list.end()) {
        return;
    }
    list.erase(kept, list.end());
    setStringList(mediaKeys, kListKey, list);
    g_autoptr(GSettings) entry = g_settings_new_with_path(kEntrySchema, kEntryPath);
    for (const char* key : {"name", "command", "binding"}) {
        g_settings_reset(entry, key);
    }
    g_settings_sync();
}

} // namespace tessary

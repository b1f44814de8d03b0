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

void setStringList(GSettings* settings, const char* key, const std::vector<std::string>& list)
{
    std::vector<const gchar*> values;
    for (const std::string& value : list) {
        values.push_back(value.c_str());
    }
    values.push_back(nullptr);
    g_settings_set_strv(settings, key, values.data());
}

// Every accelerator the keys of `settings` hold, whether a key is one text or a list.
std::vector<std::string> accelerators(GSettings* settings, GSettingsSchema* schema)
{
    std::vector<std::string> found;
    gchar** keys = g_settings_schema_list_keys(schema);
    for (gchar** key = keys; *key != nullptr; ++key) {
        GVariant* value = g_settings_get_value(settings, *key);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            found.emplace_back(g_variant_get_string(value, nullptr));
        } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
            const gchar** texts = g_variant_get_strv(value, nullptr);
            for (const gchar** text = texts; *text != nullptr; ++text) {
                found.emplace_back(*text);
            }
            g_free(texts);
        }
        g_variant_unref(value);
    }
    g_strfreev(keys);
    return found;
}

// The accelerators GNOME binds already, Tessary's own entry left out.
std::vector<std::string> boundAccelerators()
{
    std::vector<std::string> bound;
    for (const char* id : kBindingSchemas) {
        GSettingsSchema* schema = lookUpSchema(id);
        if (schema == nullptr) {
            continue;
        }
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        const auto found = accelerators(settings, schema);
        bound.insert(bound.end(), found.begin(), found.end());
        if (std::string_view(id) == kMediaKeysSchema) {
            for (const std::string& path : stringList(settings, kListKey)) {
                if (path == GnomeKeybinding::kEntryPath) {
                    continue;
                }
                GSettings* entry = g_settings_new_with_path(kEntrySchema, path.c_str());
                gchar* binding = g_settings_get_string(entry, "binding");
                bound.emplace_back(binding);
                g_free(binding);
                g_object_unref(entry);
            }
        }
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    return bound;
}

} // namespace

std::vector<std::string> stringList(GSettings* settings, const char* key)
{
    std::vector<std::string> list;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; *value != nullptr; ++value) {
        list.emplace_back(*value);
    }
    g_strfreev(values);
    return list;
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
    GSettingsSchema* list = lookUpSchema(kMediaKeysSchema);
    GSettingsSchema* entry = lookUpSchema(kEntrySchema);
    const bool both = list != nullptr && entry != nullptr;
    for (GSettingsSchema* schema : {list, entry}) {
        if (schema != nullptr) {
            g_settings_schema_unref(schema);
        }
    }
    return both;
}

ShortcutRegistration GnomeKeybinding::add(const ShortcutKeys& keys)
{
    if (!available()) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    const auto wanted = parseAccelerator(keys.accelerator);
    if (!wanted) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    for (const std::string& bound : boundAccelerators()) {
        if (parseAccelerator(bound) == wanted) {
            return {ShortcutRegistration::Outcome::inUse, kShortcutTaken};
        }
    }
    GSettings* entry = g_settings_new_with_path(kEntrySchema, kEntryPath);
    g_settings_set_string(entry, "name", "Tessary: new file from the default template");
    g_settings_set_string(entry, "command", m_command.c_str());
    g_settings_set_string(entry, "binding", keys.accelerator.c_str());
    g_object_unref(entry);
    GSettings* mediaKeys = g_settings_new(kMediaKeysSchema);
    std::vector<std::string> list = stringList(mediaKeys, kListKey);
    if (std::find(list.begin(), list.end(), kEntryPath) == list.end()) {
        list.emplace_back(kEntryPath);
        setStringList(mediaKeys, kListKey, list);
    }
    g_object_unref(mediaKeys);
    g_settings_sync();
    return {ShortcutRegistration::Outcome::registered, 0};
}

void GnomeKeybinding::remove()
{
    if (!available()) {
        return;
    }
    GSettings* mediaKeys = g_settings_new(kMediaKeysSchema);
    std::vector<std::string> list = stringList(mediaKeys, kListKey);
    const auto kept = std::remove(list.begin(), list.end(), kEntryPath);
    if (kept == list.end()) {
        g_object_unref(mediaKeys);
        return;
    }
    list.erase(kept, list.end());
    setStringList(mediaKeys, kListKey, list);
    g_object_unref(mediaKeys);
    GSettings* entry = g_settings_new_with_path(kEntrySchema, kEntryPath);
    for (const char* key : {"name", "command", "binding"}) {
        g_settings_reset(entry, key);
    }
    g_object_unref(entry);
    g_settings_sync();
}

} // namespace tessary

// Decoding, encoding, loading and saving of the settings document.
#include "shared/shared_settings.h"

#include "shared/json_decoding.h"
#include "shared/localization.h"
#include "shared/logger.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include <glib.h>
#include <nlohmann/json.hpp>

namespace tessary {
namespace {

const Logger kLog("settings");

std::string base64Encode(const Bytes& bytes)
{
    g_autofree char* text = g_base64_encode(bytes.data(), bytes.size());
    return text;
}

// Strict: whole groups of four, padding only at the end, no other characters. GLib's decoder
// skips what is not in its alphabet, so the text is checked first.
std::optional<Bytes> base64Decode(std::string_view text)
{
    const std::size_t padding = text.size() - text.substr(0, text.find_last_not_of('=') + 1).size();
    if (text.size() % 4 != 0 || padding > 2 ||
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") <
            text.size() - padding) {
        return std::nullopt;
    }
    gsize size = 0;
    g_autofree guchar* data = g_base64_decode(std::string(text).c_str(), &size);
    return Bytes(data, data + size);
}

using simdjson::dom::element;
using simdjson::dom::element_type;

// The value under `key`, or none when the key is absent or null.
std::optional<element> presentValue(simdjson::dom::object document, const char* key)
{
    element value;
    if (document[key].get(value) != simdjson::SUCCESS || value.is_null()) {
        return std::nullopt;
    }
    return value;
}

[[noreturn]] void wrongType(const char* key, const char* expected)
{
    throw DecodingError(format("The value for “%s” is not %s.", key, expected));
}

bool decodeBool(simdjson::dom::object document, const char* key, bool fallback)
{
    const auto value = presentValue(document, key);
    if (!value) {
        return fallback;
    }
    bool flag = false;
    if (value->get(flag) != simdjson::SUCCESS) {
        wrongType(key, "a boolean");
    }
    return flag;
}

std::optional<std::string> decodeString(simdjson::dom::object document, const char* key)
{
    const auto value = presentValue(document, key);
    if (!value) {
        return std::nullopt;
    }
    std::string_view text;
    if (value->get(text) != simdjson::SUCCESS) {
        wrongType(key, "a string");
    }
    return std::string(text);
}

// Whole numbers only, written as integers or as floating-point numbers without a fraction.
std::uint32_t decodeUInt32(simdjson::dom::object document, const char* key, std::uint32_t fallback)
{
    const auto value = presentValue(document, key);
    if (!value) {
        return fallback;
    }
    constexpr auto kMax = std::numeric_limits<std::uint32_t>::max();
    switch (value->type()) {
    case element_type::INT64: {
        const std::int64_t number = value->get_int64().value_unsafe();
        if (number >= 0 && number <= kMax) {
            return static_cast<std::uint32_t>(number);
        }
        break;
    }
    case element_type::UINT64:
        break; // always above the signed 64-bit range
    case element_type::DOUBLE: {
        const double number = value->get_double().value_unsafe();
        if (number >= 0 && number <= kMax && std::trunc(number) == number) {
            return static_cast<std::uint32_t>(number);
        }
        break;
    }
    default:
        break;
    }
    wrongType(key, "an unsigned 32-bit integer");
}

std::string utcStamp()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y%m%dT%H%M%SZ", &utc);
    return std::string(text.data(), length);
}

class SettingsCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "settings"; }
    std::string message(int value) const override
    {
        switch (static_cast<SettingsError>(value)) {
        case SettingsError::unreadable:
            return tr("The saved settings can’t be read, so Tessary left them as they are.");
        case SettingsError::notKeptAside:
            return tr("The saved settings can’t be decoded or kept aside, so Tessary left them "
                      "as they are.");
        }
        return "unknown settings error";
    }
};

// Keeps a stored document that does not decode under a key of its own, so that a save
// never destroys templates the user may still want back. An error if it could not be kept,
// or if the stored document cannot be read at all.
std::error_code keepUnreadableDocument(const DefaultsStore& store)
{
    std::error_code readError;
    const auto stored = store.data(kSettingsKey, readError);
    if (readError) {
        kLog.error("Could not read the stored settings, so they were not replaced: %{public}s",
                   readError.message());
        return SettingsError::unreadable;
    }
    if (!stored) {
        return {};
    }
    try {
        SharedSettings::decode(
            std::string_view(reinterpret_cast<const char*>(stored->data()), stored->size()));
        return {};
    } catch (const DecodingError&) {
    }
    const std::string base = std::string(kSettingsKey) + ".unreadable-" + utcStamp();
    std::error_code error;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::string key = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        error = store.createIfAbsent(key, *stored);
        if (!error) {
            kLog.error("Kept the unreadable settings as “%{public}s” before replacing them",
                       (store.folder() / key).string());
            return {};
        }
        if (error != std::errc::file_exists) {
            break;
        }
    }
    kLog.error("Could not keep the unreadable settings aside, so they were not replaced: "
               "%{public}s",
               error.message());
    return SettingsError::notKeptAside;
}

// What load() makes of a read: `decoded` tells a stored document that decoded, or no
// document at all, from a failure that gave the defaults (logged).
SharedSettings settingsFrom(const std::optional<Bytes>& stored, const std::error_code& readError,
                            bool& decoded)
{
    decoded = false;
    if (readError) {
        kLog.error("Failed to read settings, using defaults: %s", readError.message());
        return SharedSettings::defaults();
    }
    if (!stored) {
        decoded = true;
        return SharedSettings::defaults();
    }
    try {
        SharedSettings settings = SharedSettings::decode(
            std::string_view(reinterpret_cast<const char*>(stored->data()), stored->size()));
        decoded = true;
        return settings;
    } catch (const DecodingError& error) {
        kLog.error("Failed to decode settings, using defaults: %s", error.what());
        return SharedSettings::defaults();
    }
}

} // namespace

std::error_code make_error_code(SettingsError error)
{
    static const SettingsCategory category;
    return {static_cast<int>(error), category};
}

std::optional<std::size_t> SharedSettings::defaultTemplateIndex() const
{
    if (templates.empty()) {
        return std::nullopt;
    }
    const auto found =
        defaultTemplateID ? indexOfTemplate(templates, *defaultTemplateID) : std::nullopt;
    return found.value_or(0);
}

const FileTemplate* SharedSettings::templateAt(std::int64_t index) const
{
    return index >= 0 && static_cast<std::uint64_t>(index) < templates.size()
               ? &templates[static_cast<std::size_t>(index)]
               : nullptr;
}

SharedSettings SharedSettings::decode(std::string_view text)
{
    simdjson::dom::object document;
    if (decoding::parse(text).get(document) != simdjson::SUCCESS) {
        throw DecodingError("The settings are not a JSON object.");
    }
    SharedSettings settings;
    if (const auto list = presentValue(document, "templates")) {
        simdjson::dom::array array;
        if (list->get(array) != simdjson::SUCCESS) {
            wrongType("templates", "an array");
        }
        settings.templates.clear();
        settings.templates.reserve(array.size());
        for (const element item : array) {
            settings.templates.push_back(decoding::decodeTemplate(item));
        }
    }
    if (const auto id = decodeString(document, "defaultTemplateID")) {
        settings.defaultTemplateID = Uuid::parse(*id);
        if (!settings.defaultTemplateID) {
            wrongType("defaultTemplateID", "a UUID");
        }
    }
    settings.openAfterCreate = decodeBool(document, "openAfterCreate", settings.openAfterCreate);
    settings.renameImmediately =
        decodeBool(document, "renameImmediately", settings.renameImmediately);
    if (const auto bookmark = decodeString(document, "rootBookmark")) {
        settings.rootBookmark = base64Decode(*bookmark);
        if (!settings.rootBookmark) {
            wrongType("rootBookmark", "Base64 data");
        }
    }
    settings.rootPath = decodeString(document, "rootPath");
    settings.shortcutEnabled = decodeBool(document, "shortcutEnabled", settings.shortcutEnabled);
    settings.shortcutKeyCode = decodeUInt32(document, "shortcutKeyCode", settings.shortcutKeyCode);
    settings.shortcutModifiers =
        decodeUInt32(document, "shortcutModifiers", settings.shortcutModifiers);
    settings.shortcutLabel =
        decodeString(document, "shortcutLabel").value_or(settings.shortcutLabel);
    return settings;
}

std::string SharedSettings::encode() const
{
    using nlohmann::json;
    json list = json::array();
    for (const FileTemplate& fileTemplate : templates) {
        list.push_back(toJson(fileTemplate));
    }
    json document = {
        {"templates", std::move(list)},           {"openAfterCreate", openAfterCreate},
        {"renameImmediately", renameImmediately}, {"shortcutEnabled", shortcutEnabled},
        {"shortcutKeyCode", shortcutKeyCode},     {"shortcutModifiers", shortcutModifiers},
        {"shortcutLabel", shortcutLabel},
    };
    if (defaultTemplateID) {
        document["defaultTemplateID"] = defaultTemplateID->toString();
    }
    if (rootBookmark) {
        document["rootBookmark"] = base64Encode(*rootBookmark);
    }
    if (rootPath) {
        document["rootPath"] = *rootPath;
    }
    return document.dump();
}

SharedSettings SharedSettings::load()
{
    return load(DefaultsStore::appGroup());
}

SharedSettings SharedSettings::load(const DefaultsStore& store)
{
    std::error_code readError;
    const auto stored = store.data(kSettingsKey, readError);
    bool decoded = false;
    return settingsFrom(stored, readError, decoded);
}

std::shared_ptr<const SharedSettings> SettingsCache::load()
{
    // The store's folder follows from these two (see configHome()); the choice between the
    // shared folder and the host's own is made once per folder and process.
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value != nullptr ? value : "");
    };
    const std::string_view config = variable("XDG_CONFIG_HOME");
    const std::string_view home = variable("HOME");
    if (!m_store || config != m_configHome || home != m_home) {
        m_store = DefaultsStore::appGroup();
        m_exactStamps = m_store->hasExactStamps();
        m_configHome = config;
        m_home = home;
        m_settings.reset();
    }
    if (m_settings) {
        std::error_code error;
        if (const auto stamp = m_store->stamp(kSettingsKey, error); !error && stamp == m_stamp) {
            return m_settings;
        }
        m_settings.reset();
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t started =
        static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    std::error_code readError;
    ValueStamp stamp;
    const auto stored = m_store->data(kSettingsKey, readError, stamp);
    bool decoded = false;
    auto settings =
        std::make_shared<const SharedSettings>(settingsFrom(stored, readError, decoded));
    // A document that changed less than kSettled before the read began may share its stamp
    // with a write still to come; it is read again next time.
    const bool settled =
        !stored || std::max(stamp.modified, stamp.changed) < started - kSettled.count();
    if (decoded && m_exactStamps && settled) {
        m_settings = settings;
        m_stamp = stored ? std::optional(stamp) : std::nullopt;
    }
    return settings;
}

std::error_code SharedSettings::save() const
{
    return save(DefaultsStore::appGroup());
}

std::error_code SharedSettings::save(const DefaultsStore& store) const
{
    std::string bytes;
    try {
        bytes = encode();
    } catch (const std::exception& error) {
        kLog.error("Failed to encode settings: %s", error.what());
        return std::make_error_code(std::errc::illegal_byte_sequence);
    }
    if (const std::error_code kept = keepUnreadableDocument(store)) {
        return kept;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::error_code error = store.setData(kSettingsKey, {data, bytes.size()});
    if (error) {
        kLog.error("Failed to store settings: %{public}s", error.message());
    }
    return error;
}

} // namespace tessary

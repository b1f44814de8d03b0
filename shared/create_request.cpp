// Signing key, URL builder and verifier for create requests.
#include "shared/create_request.h"

#include "shared/crypto.h"
#include "shared/hex.h"
#include "shared/logger.h"
#include "shared/url_query.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

namespace tessary {
namespace {

std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::optional<RequestKey> asKey(const std::optional<Bytes>& bytes)
{
    if (!bytes || bytes->size() != RequestKey().size()) {
        return std::nullopt;
    }
    RequestKey key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

RequestKey newKey()
{
    RequestKey key{};
    randomBytes(key);
    return key;
}

// Logs why there is no key, once for as long as the reason stays the same rather than at
// every request that runs into it.
void reportKeyFailure(std::string_view message, std::error_code error)
{
    static const Logger log("settings");
    static std::mutex mutex;
    static std::string lastLine;
    const std::string line = format(message, error.message());
    const std::lock_guard lock(mutex);
    if (line != lastLine) {
        lastLine = line;
        log.log(LogLevel::error, line);
    }
}

// The stored key when one of the right length is there. `unreadable` tells (and the log
// says) that a value is there which cannot be read, and so must not be replaced.
std::optional<RequestKey> storedKey(const DefaultsStore& store, bool& unreadable)
{
    std::error_code error;
    auto key = asKey(store.data(kRequestKeyKey, error));
    unreadable = static_cast<bool>(error);
    if (unreadable) {
        reportKeyFailure("Could not read the request key, so it was not replaced: %{public}s",
                         error);
    }
    return key;
}

std::optional<Bytes> unhex(std::string_view text)
{
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigitValue(text[i]);
        const int low = hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

// The value of the one item called `name`; none if it is missing, repeated or has no value.
const std::string* parameter(const std::vector<QueryItem>& items, std::string_view name)
{
    const QueryItem* found = nullptr;
    for (const QueryItem& item : items) {
        if (item.name == name) {
            if (found != nullptr) {
                return nullptr;
            }
            found = &item;
        }
    }
    return found != nullptr && found->value ? &*found->value : nullptr;
}

bool hasParentPiece(std::string_view path)
{
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        if (path.substr(0, slash) == "..") {
            return true;
        }
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return false;
}

// Absolute, without ".." pieces, and without a NUL byte, which no path holds (the system
// would read the path only up to it).
bool isFolderPath(std::string_view path)
{
    return path.starts_with('/') && !hasParentPiece(path) &&
           path.find('\0') == std::string_view::npos;
}

// The whole text as a decimal floating-point number (fractions and exponents allowed, a
// leading "+" too; no hexadecimal form, no "inf" or "nan", no spaces).
std::optional<double> parseTimestamp(std::string_view text)
{
    if (text.starts_with('+') && !text.starts_with("+-")) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<RequestKey> requestKey(const DefaultsStore& store)
{
    bool unreadable = false;
    if (auto stored = storedKey(store, unreadable); stored || unreadable) {
        return stored;
    }
    RequestKey key = newKey();
    const std::error_code created = store.createIfAbsent(kRequestKeyKey, key);
    if (!created) {
        return key;
    }
    if (created != std::errc::file_exists) {
        reportKeyFailure("Could not store the request key: %{public}s", created);
        return std::nullopt;
    }
    // Another process stored a key first, or a key of the wrong length is there.
    return store.withLock([&]() -> std::optional<RequestKey> {
        if (auto stored = storedKey(store, unreadable); stored || unreadable) {
            return stored;
        }
        if (const std::error_code error = store.setData(kRequestKeyKey, key)) {
            reportKeyFailure("Could not store the request key: %{public}s", error);
            return std::nullopt;
        }
        return key;
    });
}

std::optional<std::int64_t> parseTemplateIndex(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size() ||
        magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ||
        (negative && magnitude != 0)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(magnitude);
}

std::string signingMessage(std::string_view dir, std::int64_t templateIndex, std::string_view ts)
{
    std::string message;
    message.reserve(dir.size() + ts.size() + 24);
    message.append(dir).append("\n").append(std::to_string(templateIndex)).append("\n");
    message.append(ts);
    return message;
}

std::optional<std::string> CreateRequest::signedURL(const RequestKey& key,
                                                    Clock::time_point date) const
{
    if (!directory.starts_with('/') || directory.find('\0') != std::string::npos ||
        templateIndex < 0) {
        return std::nullopt;
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
    const std::string ts = std::to_string(seconds);
    const std::string index = std::to_string(templateIndex);
    const Sha256Mac mac = hmacSha256(key, asBytes(signingMessage(directory, templateIndex, ts)));
    const std::vector<QueryItem> items = {
        {"dir", directory},
        {"template", index},
        {"ts", ts},
        {"sig", toHex(mac, HexCase::lower)},
    };
    return std::string(kRequestScheme) + "://" + std::string(kRequestHost) + "?" +
           encodeQuery(items);
}

std::optional<CreateRequest> CreateRequest::verifying(std::string_view url, const RequestKey& key,
                                                      Clock::time_point now)
{
    const auto query =
        queryOf(url, std::string(kRequestScheme) + "://" + std::string(kRequestHost));
    const auto items = query ? parseQuery(*query) : std::nullopt;
    if (!items) {
        return std::nullopt;
    }
    const std::string* dir = parameter(*items, "dir");
    if (dir == nullptr || !isFolderPath(*dir)) {
        return std::nullopt;
    }
    const std::string* templateText = parameter(*items, "template");
    const auto index = templateText != nullptr ? parseTemplateIndex(*templateText) : std::nullopt;
    if (!index) {
        return std::nullopt;
    }
    const std::string* ts = parameter(*items, "ts");
    const auto stamp = ts != nullptr ? parseTimestamp(*ts) : std::nullopt;
    const double nowSeconds = std::chrono::duration<double>(now.time_since_epoch()).count();
    if (!stamp || !(std::fabs(nowSeconds - *stamp) <= kRequestWindowSeconds)) {
        return std::nullopt;
    }
    const std::string* sig = parameter(*items, "sig");
    const auto mac = sig != nullptr ? unhex(*sig) : std::nullopt;
    if (!mac || !isValidHmacSha256(*mac, key, asBytes(signingMessage(*dir, *index, *ts)))) {
        return std::nullopt;
    }
    return CreateRequest{*dir, *index};
}

} // namespace tessary

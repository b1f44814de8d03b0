// A request to create a file, carried from the file-manager extension to the host as a
// signed, time-stamped "tessary://create?dir=…&template=…&ts=…&sig=…" URL.
#pragma once

#include "shared/defaults_store.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

inline constexpr std::string_view kRequestKeyKey = "requestKey";
inline constexpr std::string_view kRequestScheme = "tessary";
inline constexpr std::string_view kRequestHost = "create";
// A request is honoured only this far off the receiver's clock, in either direction.
inline constexpr double kRequestWindowSeconds = 120.0;

using RequestKey = std::array<std::uint8_t, 32>;

// The shared 256-bit signing key. A missing key is created if absent (of two processes
// starting together, one creates it and both use it); a value of another length is
// replaced under the store's lock. None, logged, when no key can be read or stored: a key
// nobody stored would make every request fail its signature check.
std::optional<RequestKey> requestKey(const DefaultsStore& store);

// A template index as a request writes it: decimal digits with an optional sign, within the
// signed 64-bit range, not negative. None for anything else.
std::optional<std::int64_t> parseTemplateIndex(std::string_view text);

// dir, a line feed, the index in decimal, a line feed, and ts; no trailing line feed.
std::string signingMessage(std::string_view dir, std::int64_t templateIndex, std::string_view ts);

struct CreateRequest {
    using Clock = std::chrono::system_clock;

    std::string directory;          // the folder's path, carried exactly as given
    std::int64_t templateIndex = 0; // index into SharedSettings::templates

    // The signed URL, with the query items dir, template, ts and sig in that order; none
    // when the directory is not an absolute path (or holds a NUL byte) or the index is
    // negative.
    std::optional<std::string> signedURL(const RequestKey& key, Clock::time_point date) const;

    // The request a URL carries if it is well formed, signed with `key` and time-stamped
    // within kRequestWindowSeconds of `now`; none otherwise, without a reason.
    static std::optional<CreateRequest> verifying(std::string_view url, const RequestKey& key,
                                                  Clock::time_point now);

    friend bool operator==(const CreateRequest&, const CreateRequest&) = default;
};

} // namespace tessary

// Query encoding and parsing that carries any bytes through a query value unchanged, and
// the query of a URL whose scheme and host are exactly ours. Items are split at "&" and "="
// before percent-decoding, and "+" is a plus sign, not a space.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct QueryItem {
    std::string name;
    std::optional<std::string> value; // none for an item without "="

    friend bool operator==(const QueryItem&, const QueryItem&) = default;
};

// Percent-encodes every byte except unreserved characters and "/".
std::string percentEncodeQueryComponent(std::string_view text);

// "name=value&name=value" with each part percent-encoded.
std::string encodeQuery(const std::vector<QueryItem>& items);

// The still percent-encoded query of `url` when it begins with exactly `origin`
// ("scheme://host") followed by a path, a query or a fragment. None for any other text, a URL
// without a query, or one that holds spaces, control characters or bytes outside ASCII.
std::optional<std::string> queryOf(std::string_view url, std::string_view origin);

// None when a "%" is not followed by two hexadecimal digits.
std::optional<std::vector<QueryItem>> parseQuery(std::string_view query);

} // namespace tessary

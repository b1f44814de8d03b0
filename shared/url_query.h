// A minimal URL splitter and query encoder/parser that carries any text through a query
// value unchanged. Items are split at "&" and "=" before percent-decoding, and "+" is a
// plus sign, not a space.
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

struct UrlComponents {
    std::string scheme;
    std::string host;
    std::string path;
    std::optional<std::string> query; // still percent-encoded
};

// Percent-encodes every byte except unreserved characters and "/".
std::string percentEncodeQueryComponent(std::string_view text);

// "name=value&name=value" with each part percent-encoded.
std::string encodeQuery(const std::vector<QueryItem>& items);

// Splits "scheme://host/path?query#fragment". None for a text that is not such a URL, or
// that holds spaces, control characters or bytes outside ASCII.
std::optional<UrlComponents> parseUrl(std::string_view url);

// None when a "%" is not followed by two hexadecimal digits.
std::optional<std::vector<QueryItem>> parseQuery(std::string_view query);

} // namespace tessary

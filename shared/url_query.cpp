// Percent-encoding and URL splitting for create-request URLs.
#include "shared/url_query.h"

#include "shared/hex.h"

namespace tessary {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigitValue(text[i + 1]);
        const int low = hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return out;
}

bool isSchemeCharacter(char c, bool first)
{
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

} // namespace

std::string percentEncodeQueryComponent(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        }
    }
    return out;
}

std::string encodeQuery(const std::vector<QueryItem>& items)
{
    std::string query;
    for (const QueryItem& item : items) {
        if (!query.empty()) {
            query += '&';
        }
        query += percentEncodeQueryComponent(item.name);
        if (item.value) {
            query += '=';
            query += percentEncodeQueryComponent(*item.value);
        }
    }
    return query;
}

std::optional<UrlComponents> parseUrl(std::string_view url)
{
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return std::nullopt;
        }
    }
    const std::size_t colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
        return std::nullopt;
    }
    UrlComponents parts;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeCharacter(url[i], i == 0)) {
            return std::nullopt;
        }
    }
    parts.scheme = url.substr(0, colon);
    std::string_view rest = url.substr(colon + 1);
    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        rest = rest.substr(0, hash);
    }
    if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        parts.host = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    parts.path = rest;
    return parts;
}

std::optional<std::vector<QueryItem>> parseQuery(std::string_view query)
{
    std::vector<QueryItem> items;
    while (true) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        const std::size_t equals = item.find('=');
        auto name = percentDecode(item.substr(0, equals));
        if (!name) {
            return std::nullopt;
        }
        std::optional<std::string> value;
        if (equals != std::string_view::npos) {
            value = percentDecode(item.substr(equals + 1));
            if (!value) {
                return std::nullopt;
            }
        }
        items.push_back({*std::move(name), std::move(value)});
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return items;
}

} // namespace tessary

// Percent-encoding and query splitting for create-request URLs, on GLib's URI functions.
#include "shared/url_query.h"

#include <glib.h>

namespace tessary {
namespace {

// g_uri_unescape_bytes rather than the params iterator: that one refuses values that are not
// UTF-8 (folder names are bytes) and items without "=".
std::optional<std::string> percentDecode(std::string_view text)
{
    g_autoptr(GBytes) bytes =
        g_uri_unescape_bytes(text.data(), static_cast<gssize>(text.size()), nullptr, nullptr);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    return std::string(data, size);
}

} // namespace

std::string percentEncodeQueryComponent(std::string_view text)
{
    g_autofree char* escaped =
        g_uri_escape_bytes(reinterpret_cast<const guint8*>(text.data()), text.size(), "/");
    return escaped;
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

std::optional<std::string> queryOf(std::string_view url, std::string_view origin)
{
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return std::nullopt;
        }
    }
    // The origin is compared as written: g_uri_split lowercases the scheme, decodes the host
    // and takes an empty port or a user name off it.
    if (!url.starts_with(origin) ||
        (url.size() > origin.size() &&
         std::string_view("/?#").find(url[origin.size()]) == std::string_view::npos)) {
        return std::nullopt;
    }
    g_autofree char* query = nullptr;
    if (!g_uri_split(std::string(url).c_str(), G_URI_FLAGS_ENCODED, nullptr, nullptr, nullptr,
                     nullptr, nullptr, &query, nullptr, nullptr) ||
        query == nullptr) {
        return std::nullopt;
    }
    return std::string(query);
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

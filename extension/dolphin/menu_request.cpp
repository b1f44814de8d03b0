// The background-or-items rule for Dolphin's menus.
#include "extension/dolphin/menu_request.h"

#include <glib.h>

namespace tessary {
namespace {

// "file:///a/b/" and "file:///a/b" name the same folder; "file:///" keeps its slash.
std::string_view withoutTrailingSlash(std::string_view uri)
{
    while (uri.size() > 1 && uri.back() == '/' && !uri.ends_with(":///")) {
        uri.remove_suffix(1);
    }
    return uri;
}

std::optional<std::string> localPath(const std::string& uri)
{
    if (!isObservedUri(uri)) {
        return std::nullopt;
    }
    g_autofree gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    return path != nullptr ? std::optional<std::string>(path) : std::nullopt;
}

} // namespace

std::optional<MenuRequest> menuRequest(const std::vector<std::string>& itemUris,
                                       std::string_view viewUri)
{
    MenuRequest request;
    for (const std::string& uri : itemUris) {
        auto path = localPath(uri);
        if (!path) {
            return std::nullopt;
        }
        request.selected.push_back(std::move(*path));
    }
    if (request.selected.empty()) {
        return std::nullopt;
    }
    request.targeted = request.selected.front();
    if (itemUris.size() == 1 && !viewUri.empty() &&
        withoutTrailingSlash(itemUris.front()) == withoutTrailingSlash(viewUri)) {
        // The background: the view's folder itself, with nothing selected.
        request.kind = MenuKind::container;
        request.selected.clear();
        std::string& folder = *request.targeted;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
    }
    return request;
}

} // namespace tessary

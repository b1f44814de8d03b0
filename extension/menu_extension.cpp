// Construction, menu builds and the create action of the extension object.
#include "extension/menu_extension.h"

#include "shared/create_request.h"
#include "shared/defaults_store.h"
#include "extension/menu_builder.h"

#include <filesystem>

#include <glib.h>

namespace tessary {

std::string containingFolder(const std::string& path)
{
    // g_path_get_dirname reads "/a/b/" as the folder "/a/b" itself, so trailing slashes go.
    const std::size_t last = path.find_last_not_of('/');
    g_autofree char* folder = g_path_get_dirname(
        last == std::string::npos ? path.c_str() : path.substr(0, last + 1).c_str());
    return folder;
}

bool isObservedUri(std::string_view uri)
{
    return uri.starts_with("file:");
}

MenuExtension::MenuExtension(HostHandOver handOver)
    : m_logger("finder-sync"), m_settings(m_settingsCache.load()),
      m_lastMenuKind(MenuKind::container), m_handOver(std::move(handOver))
{
    m_logger.info("Finder Sync extension launched");
}

std::optional<BuiltMenu> MenuExtension::menu(MenuKind kind, std::optional<std::string> targeted,
                                             std::vector<std::string> selected)
{
    m_lastMenuKind = kind;
    m_settings = m_settingsCache.load();
    const auto menu = m_menuCache.menu(m_settings);
    if (!menu) {
        return std::nullopt;
    }
    return BuiltMenu{*menu, std::make_shared<MenuContext>(MenuContext{
                                kind, std::move(targeted), std::move(selected), m_settings})};
}

MenuContext MenuExtension::currentContext(std::optional<std::string> targeted,
                                          std::vector<std::string> selected) const
{
    return {m_lastMenuKind, std::move(targeted), std::move(selected), m_settings};
}

std::optional<std::string> MenuExtension::createFile(std::int64_t tag,
                                                     const MenuContext& context) const
{
    const SharedSettings& settings = context.settings ? *context.settings : *m_settings;
    if (tag < 0 || static_cast<std::uint64_t>(tag) >= settings.templates.size()) {
        m_logger.error("createFile: no template for menu tag %ld", tag);
        return std::nullopt;
    }
    const auto directory = targetDirectory(context);
    if (!directory) {
        m_logger.error("createFile: Finder provided no target directory");
        return std::nullopt;
    }
    const CreateRequest request{*directory, tag};
    const auto key = requestKey(DefaultsStore::appGroup());
    const auto url = key ? request.signedURL(*key, CreateRequest::Clock::now()) : std::nullopt;
    if (!url) {
        m_logger.error("createFile: could not build a request for %{public}s", *directory);
        return std::nullopt;
    }
    // Without a disk grant the host must come forward to ask for one.
    const bool activates = !settings.hasDiskAccess();
    m_logger.debug("Asking the app to create template %ld in %{public}s", tag, *directory);
    if (const auto error = m_handOver.handOver(*url, activates)) {
        m_logger.error("Could not hand the request to the app: %{public}s", *error);
        return std::nullopt;
    }
    return url;
}

std::optional<std::string> MenuExtension::targetDirectory(const MenuContext& context) const
{
    const auto& targeted = context.targeted;
    const auto& selected = context.selected;
    m_logger.debug("target: %{public}s, selected: %ld, menu kind: %lu",
                   targeted ? *targeted : std::string("nil"), static_cast<long>(selected.size()),
                   static_cast<unsigned long>(context.kind));
    if (context.kind == MenuKind::container) {
        // The window's own folder, as given: the background was clicked, so it is a folder.
        if (targeted) {
            return targeted;
        }
        if (!selected.empty()) {
            return containingFolder(selected.front());
        }
        return std::nullopt;
    }
    // A selected folder is not entered: the new file goes beside the selection.
    if (!selected.empty()) {
        return containingFolder(selected.front());
    }
    if (!targeted) {
        return std::nullopt;
    }
    std::error_code error;
    if (std::filesystem::is_directory(*targeted, error)) {
        return targeted;
    }
    return containingFolder(*targeted);
}

} // namespace tessary

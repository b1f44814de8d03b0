// Grant prompt, panel, bookmark storage and scoped work.
#include "creation/disk_access.h"

#include "shared/localization.h"
#include "shared/logger.h"
#include "platform/volumes.h"

#include <system_error>
#include <utility>

namespace tessary {
namespace {

const Logger kLog("disk-access");

} // namespace

DiskAccessError::DiskAccessError(Case kind, const std::string& description)
    : std::runtime_error(description), m_case(kind)
{
}

DiskAccessError DiskAccessError::unresolvable(const std::string& underlying)
{
    return {Case::unresolvable, tr("The saved disk access is no longer valid (%@).", underlying)};
}

DiskAccessError DiskAccessError::notGranted()
{
    return {Case::notGranted, tr("Tessary has no access to your disk yet.")};
}

DiskAccessError DiskAccessError::denied()
{
    return {Case::denied, tr("The system refused the saved disk access.")};
}

DiskAccess::DiskAccess(Bookmarks& bookmarks, UserPrompts& prompts, std::function<void()> granted)
    : m_bookmarks(bookmarks), m_prompts(prompts), m_granted(std::move(granted))
{
}

void DiskAccess::withDiskAccess(const SharedSettings& settings, const std::function<void()>& body)
{
    if (!settings.rootBookmark) {
        body();
        return;
    }
    ResolvedBookmark resolved;
    try {
        resolved = m_bookmarks.resolve(*settings.rootBookmark);
    } catch (const BookmarkError& error) {
        kLog.error("Bookmark did not resolve: %{public}s", error.what());
        throw DiskAccessError::unresolvable(error.what());
    }
    if (resolved.stale) {
        kLog.info("Bookmark for %{public}s is stale; grant access again to refresh it",
                  resolved.path.string());
    }
    if (!m_bookmarks.startAccessing(resolved.path)) {
        throw DiskAccessError::denied();
    }
    struct StopAccessing {
        Bookmarks& bookmarks;
        const std::filesystem::path& path;
        ~StopAccessing() { bookmarks.stopAccessing(path); }
    } scope{m_bookmarks, resolved.path};
    body();
}

bool DiskAccess::promptForDiskAccess(const std::optional<std::string>& reason, bool bringForward)
{
    std::string informative =
        tr("Grant access once and Tessary can create files in every folder. In the next panel, "
           "select the root folder of your computer (“%@”) and click Grant Access.",
           startupDiskName());
    if (reason) {
        informative = *reason + "\n\n" + informative;
    }
    const std::size_t choice = m_prompts.runAlert({tr("Tessary needs access to your disk"),
                                                   informative,
                                                   {tr("Grant Access…"), tr("Cancel")},
                                                   1,
                                                   bringForward});
    return choice == 0 && grantDiskAccess(bringForward);
}

bool DiskAccess::grantDiskAccess(bool bringForward)
{
    const auto folder = m_prompts.chooseFolder(
        {tr("Select the root folder of your computer so Tessary can create files in every "
            "folder, then click Grant Access."),
         tr("Grant Access"), "/", bringForward});
    if (!folder) {
        return false;
    }
    try {
        saveGrant(*folder);
    } catch (const std::system_error& error) {
        m_prompts.showAlert(tr("Couldn't save disk access"), error.code().message());
        return false;
    }
    if (m_granted) {
        m_granted();
    }
    return true;
}

void DiskAccess::saveGrant(const std::filesystem::path& folder)
{
    SharedSettings settings = SharedSettings::load();
    settings.rootBookmark = m_bookmarks.create(folder);
    settings.rootPath = folder.string();
    if (const std::error_code error = settings.save()) {
        throw std::system_error(error);
    }
    kLog.info("Granted access to %{public}s", folder.string());
}

void DiskAccess::forgetDiskAccess()
{
    SharedSettings settings = SharedSettings::load();
    settings.rootBookmark.reset();
    settings.rootPath.reset();
    if (const std::error_code error = settings.save()) {
        throw std::system_error(error);
    }
    kLog.info("Disk access forgotten");
}

std::string DiskAccess::startupDiskName()
{
    return volumeLabel("/").value_or(tr("Computer")); // as the file manager names "/"
}

} // namespace tessary

// The request road inside the host, with its log lines and its single retry.
#include "creation/request_handler.h"

#include "shared/localization.h"
#include "shared/logger.h"

namespace tessary {
namespace {

const Logger kLog("create");

} // namespace

RequestHandler::RequestHandler(DiskAccess& diskAccess, FileCreator& creator, Workspace& workspace,
                               RenameImmediately& rename, UserPrompts& prompts)
    : m_diskAccess(diskAccess), m_creator(creator), m_workspace(workspace), m_rename(rename),
      m_prompts(prompts)
{
}

void RequestHandler::handleCreateURL(std::string_view url, bool activates,
                                     const std::string& fileManager)
{
    const auto key = requestKey(DefaultsStore::appGroup());
    if (!key) {
        kLog.error("Ignoring a request because there is no request key: %{public}s", url);
        return;
    }
    const auto request = CreateRequest::verifying(url, *key, CreateRequest::Clock::now());
    if (!request) {
        kLog.error("Ignoring a request that is malformed, unsigned or expired: %{public}s", url);
        return;
    }
    performCreate(*request, activates, fileManager);
}

std::optional<std::filesystem::path> RequestHandler::performCreate(const CreateRequest& request,
                                                                   bool activates,
                                                                   const std::string& fileManager)
{
    try {
        return createFor(request, activates, fileManager);
    } catch (const std::exception& error) {
        // Something other than creation failed (the prompt, the settings): said as a failed
        // creation is.
        kLog.error("Create failed in %{public}s: %{public}s", request.directory, error.what());
        m_prompts.showAlert(tr("Couldn't create the file"), error.what());
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RequestHandler::createFor(const CreateRequest& request,
                                                               bool activates,
                                                               const std::string& fileManager)
{
    SharedSettings settings = SharedSettings::load();
    const FileTemplate* chosen = settings.templateAt(request.templateIndex);
    if (chosen == nullptr) {
        kLog.error("No template at index %ld", request.templateIndex);
        return std::nullopt;
    }
    // A copy: reloading the settings below must not change which template is created.
    const FileTemplate fileTemplate = *chosen;
    const std::filesystem::path directory = request.directory;

    if (!settings.hasDiskAccess()) {
        if (!m_diskAccess.promptForDiskAccess(std::nullopt, activates)) {
            return std::nullopt;
        }
        settings = SharedSettings::load();
    }
    try {
        return createWithAccess(fileTemplate, directory, settings, fileManager);
    } catch (const DiskAccessError& error) {
        kLog.error("Disk access failed: %{public}s", error.what());
        if (!m_diskAccess.promptForDiskAccess(std::string(error.what()), activates)) {
            return std::nullopt;
        }
        try {
            return createWithAccess(fileTemplate, directory, SharedSettings::load(), fileManager);
        } catch (const std::exception& retryError) {
            m_prompts.showAlert(tr("Couldn't create the file"), retryError.what());
        }
    } catch (const std::exception& failure) {
        m_prompts.showAlert(tr("Couldn't create the file"), failure.what());
    }
    return std::nullopt;
}

std::filesystem::path RequestHandler::createWithAccess(const FileTemplate& fileTemplate,
                                                       const std::filesystem::path& directory,
                                                       const SharedSettings& settings,
                                                       const std::string& fileManager)
{
    std::filesystem::path created;
    try {
        m_diskAccess.withDiskAccess(settings,
                                    [&] { created = m_creator.create(fileTemplate, directory); });
    } catch (const std::exception& error) {
        kLog.error("Create failed in %{public}s: %{public}s", directory.string(), error.what());
        throw;
    }
    m_workspace.revealAndSelect(created, fileManager);
    if (settings.openAfterCreate) {
        m_workspace.openWithDefaultApp(created);
    }
    if (settings.renameImmediately) {
        m_rename.renameCreatedFile(created, fileManager);
    }
    return created;
}

} // namespace tessary

// From a create request to a created file: verifying incoming URLs, finding the template,
// making sure a grant exists, creating inside it, showing and opening the file, starting the
// rename, and the one alert that reports a failure.
#pragma once

#include "shared/create_request.h"
#include "creation/disk_access.h"
#include "creation/file_creator.h"
#include "filemanager/rename_immediately.h"
#include "platform/workspace.h"
#include "user_prompts.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace tessary {

class RequestHandler {
public:
    RequestHandler(DiskAccess& diskAccess, FileCreator& creator, Workspace& workspace,
                   RenameImmediately& rename, UserPrompts& prompts);

    // Verifies a received URL and creates what it asks for; invalid URLs are logged only.
    // `activates`: the sender asked for the host to come forward (it knew of no grant), so a
    // grant prompt may take the focus; otherwise it opens without taking it. `fileManager`:
    // the bus name of the file manager that sent it, which shows the file (empty: any).
    void handleCreateURL(std::string_view url, bool activates = false,
                         const std::string& fileManager = {});
    // Never throws: failures are logged and, where the user should know, shown. Returns the
    // created file, if any. `activates` and `fileManager` as above.
    std::optional<std::filesystem::path> performCreate(const CreateRequest& request,
                                                       bool activates = true,
                                                       const std::string& fileManager = {});
    // Creates inside the grant, shows (and opens) the file and starts renaming; throws what
    // creation or access throws.
    std::filesystem::path createWithAccess(const FileTemplate& fileTemplate,
                                           const std::filesystem::path& directory,
                                           const SharedSettings& settings,
                                           const std::string& fileManager = {});

private:
    std::optional<std::filesystem::path> createFor(const CreateRequest& request, bool activates,
                                                   const std::string& fileManager);

    DiskAccess& m_diskAccess;
    FileCreator& m_creator;
    Workspace& m_workspace;
    RenameImmediately& m_rename;
    UserPrompts& m_prompts;
};

} // namespace tessary

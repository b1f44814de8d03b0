// The folder the file manager shows in its front window, asked of the bridge module inside
// it and of its window list; whether it can be asked at all; and what the user does when
// it cannot (restart the file manager so it loads the module).
#pragma once

#include "platform/file_manager.h"
#include "platform/workspace.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace tessary {

// What a window's tabs say about the folder it shows: `activeLocation` when the file manager
// named the active tab's location; else, as a window lists its tabs without marking the
// active one, the tab its title names.
struct TabChoice {
    enum class Kind { folder, notAFolder, unknown };
    Kind kind = Kind::unknown;
    std::filesystem::path folder;
};
TabChoice chooseTab(const std::vector<std::string>& locations, const std::string& title,
                    const std::filesystem::path& home, const std::string& activeLocation = {});

class FrontFolderQuery {
public:
    class QueryError : public std::runtime_error {
    public:
        enum class Case { queryFailed, notPermitted, notAFolder };

        static QueryError queryFailed(const std::string& text);
        static QueryError notPermitted();
        static QueryError notAFolder();

        Case kind() const { return m_case; }

    private:
        QueryError(Case kind, const std::string& description);

        Case m_case;
    };

    struct Permission {
        enum class Case { unknown, granted, notDetermined, fileManagerNotRunning };
        Case kind = Case::unknown;
        std::int32_t code = 0; // unknown: the status (-1: no session bus)

        friend bool operator==(const Permission&, const Permission&) = default;
    };

    using FrontFolder = std::variant<std::filesystem::path, QueryError>;

    FrontFolderQuery(FileManager& fileManager, Workspace& workspace);

    // The folder of the file manager's front window (its active tab), the Desktop folder
    // when it has no window, or why it cannot be told. The path is not tested on disk.
    FrontFolder frontFolder();
    // granted while the file manager runs and its bridge answers, notDetermined while it
    // runs without the bridge, fileManagerNotRunning when it does not run. Never prompts.
    Permission permission();

    // The application in front: on X11 the workspace's answer; on Wayland, where only the
    // bridge can tell, the file manager while one of its windows has the focus, else none.
    std::optional<FrontApplication> frontmostApplication();
    // Whether `application` is the file manager.
    bool isFileManager(const FrontApplication& application) const
    {
        return application.id == m_fileManager.applicationId();
    }

private:
    FileManager& m_fileManager;
    Workspace& m_workspace;
};

} // namespace tessary

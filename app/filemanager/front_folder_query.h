// The folder the front file manager shows in its front window, asked of the bridge module
// inside it and of its window list; whether it can be asked at all; and what the user does
// when it cannot (restart the file manager so it loads the module).
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

        // `name`: the file manager's, as the user knows it.
        static QueryError queryFailed(const std::string& text, const std::string& name = "Files");
        static QueryError notPermitted(const std::string& name = "Files");
        static QueryError notAFolder(const std::string& name = "Files");

        Case kind() const { return m_case; }
        // The file manager asked, as the user knows it.
        const std::string& fileManager() const { return m_fileManager; }

    private:
        QueryError(Case kind, const std::string& description, const std::string& fileManager);

        Case m_case;
        std::string m_fileManager;
    };

    struct Permission {
        enum class Case { unknown, granted, notDetermined, fileManagerNotRunning };
        Case kind = Case::unknown;
        std::int32_t code = 0; // unknown: the status (-1: no session bus)

        friend bool operator==(const Permission&, const Permission&) = default;
    };

    using FrontFolder = std::variant<std::filesystem::path, QueryError>;

    FrontFolderQuery(FileManagers& fileManagers, Workspace& workspace);

    // The folder of the front file manager's front window (its active tab), the Desktop
    // folder when it has no window, or why it cannot be told. The path is not tested on
    // disk. The front file manager: the one whose window is in front, else (the desktop is)
    // the first installed one. `fileManager`, when given, gets the bus name of the one whose
    // window is in front (empty for the desktop). `front`, when given, is the front
    // application the caller has just asked for, so it is not asked again.
    FrontFolder frontFolder(std::string* fileManager = nullptr,
                            const std::optional<FrontApplication>* front = nullptr);
    // granted while the file manager runs and its bridge answers, notDetermined while it
    // runs without the bridge, fileManagerNotRunning when it does not run. Never prompts.
    Permission permission(FileManager& fileManager);

    // The application in front: on X11 the workspace's answer; on Wayland, where only the
    // bridges can tell, the file manager one of whose windows has the focus, else none.
    std::optional<FrontApplication> frontmostApplication();
    // Whether `application` is one of the file managers.
    bool isFileManager(const FrontApplication& application)
    {
        return m_fileManagers.owning(application) != nullptr;
    }

private:
    FrontFolder frontFolderOf(FileManager& fileManager);

    FileManagers& m_fileManagers;
    Workspace& m_workspace;
};

} // namespace tessary

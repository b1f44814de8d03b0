// The folder grant: asking for it, remembering it as a bookmark in the shared settings,
// forgetting it, and running work inside its scope.
#pragma once

#include "platform/bookmarks.h"
#include "shared/shared_settings.h"
#include "user_prompts.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace tessary {

class DiskAccessError : public std::runtime_error {
public:
    enum class Case { unresolvable, notGranted, denied };

    static DiskAccessError unresolvable(const std::string& underlying);
    static DiskAccessError notGranted();
    static DiskAccessError denied();

    Case kind() const { return m_case; }

private:
    DiskAccessError(Case kind, const std::string& description);

    Case m_case;
};

class DiskAccess {
public:
    // `granted` runs after the grant panel saved a grant (the host registers its login item
    // there).
    DiskAccess(Bookmarks& bookmarks, UserPrompts& prompts, std::function<void()> granted);

    // Runs `body` inside the grant's scope (directly when no grant is stored). Throws
    // DiskAccessError, or whatever `body` throws, unchanged.
    void withDiskAccess(const SharedSettings& settings, const std::function<void()>& body);
    // The explanatory alert, then the grant panel; true when a grant was saved. Both take the
    // focus only when `bringForward` is set.
    bool promptForDiskAccess(const std::optional<std::string>& reason, bool bringForward = true);
    // The grant panel; true when a grant was saved.
    bool grantDiskAccess(bool bringForward = true);
    // Records `folder` as the grant in the shared settings; throws std::system_error.
    void saveGrant(const std::filesystem::path& folder);
    // Drops the grant from the shared settings; throws std::system_error.
    void forgetDiskAccess();
    // The label of the volume at "/", or a generic name.
    static std::string startupDiskName();

private:
    Bookmarks& m_bookmarks;
    UserPrompts& m_prompts;
    std::function<void()> m_granted;
};

} // namespace tessary

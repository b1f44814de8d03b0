// Folder grants on Linux: a bookmark is {"path", "device", "inode"} of the granted folder as
// JSON bytes, and a scope confines writes to that folder and the folders below it, found by
// walking up from the folder written in to the root.
#pragma once

#include "platform/bookmarks.h"

#include <vector>

#include <sys/types.h>

namespace tessary {

class LinuxBookmarks : public Bookmarks {
public:
    std::vector<std::uint8_t> create(const std::filesystem::path& folder) override;
    ResolvedBookmark resolve(const std::vector<std::uint8_t>& bookmark) override;
    bool startAccessing(const std::filesystem::path& folder) override;
    void stopAccessing(const std::filesystem::path& folder) override;
    bool mayWriteIn(int folder) override;

private:
    struct Scope {
        std::filesystem::path path; // as given to startAccessing
        dev_t device;
        ino_t inode;
    };
    std::vector<Scope> m_scopes; // innermost last
};

} // namespace tessary

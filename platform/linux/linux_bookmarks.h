// Folder grants on Linux: a bookmark is {"path", "device", "inode"} of the granted folder as
// JSON bytes, and a scope confines writes to the real path of that folder.
#pragma once

#include "bookmarks.h"

#include <vector>

namespace tessary {

class LinuxBookmarks : public Bookmarks {
public:
    std::vector<std::uint8_t> create(const std::filesystem::path& folder) override;
    ResolvedBookmark resolve(const std::vector<std::uint8_t>& bookmark) override;
    bool startAccessing(const std::filesystem::path& folder) override;
    void stopAccessing(const std::filesystem::path& folder) override;
    bool mayWriteIn(const std::filesystem::path& folder) override;

private:
    std::vector<std::filesystem::path> m_scopes; // real paths, innermost last
};

} // namespace tessary

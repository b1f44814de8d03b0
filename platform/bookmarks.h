// Remembered folder grants and the scope that confines writes to them.
//
// A bookmark records a folder (its path, device and inode). It resolves while that folder
// exists; it is stale when the path now names another folder. While a scope is open, files
// may be written only inside its folder, as a sandbox would allow.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessary {

class BookmarkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ResolvedBookmark {
    std::filesystem::path path;
    bool stale = false;
};

class Bookmarks {
public:
    virtual ~Bookmarks() = default;

    // Throws std::system_error when the folder cannot be recorded.
    virtual std::vector<std::uint8_t> create(const std::filesystem::path& folder) = 0;
    // Throws BookmarkError when the bookmark is malformed or its folder is gone.
    virtual ResolvedBookmark resolve(const std::vector<std::uint8_t>& bookmark) = 0;
    // Opens the scope of `folder` for this thread; false if the platform refuses.
    virtual bool startAccessing(const std::filesystem::path& folder) = 0;
    virtual void stopAccessing(const std::filesystem::path& folder) = 0;
    // Whether a file may be written in the folder open as `folder` (the handle the file is
    // then created through, so nothing can move in between) under the scopes opened on this
    // thread: anywhere when none is open, else only inside an open one. False whenever that
    // cannot be established.
    virtual bool mayWriteIn(int folder) = 0;
};

} // namespace tessary

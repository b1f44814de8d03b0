// A small per-user key-value store: one folder per domain under $XDG_CONFIG_HOME/tessary/,
// one file per key, named by the key.
//
// Data values are stored as their raw bytes ("settings" is the JSON document itself,
// "requestKey" the 32 key bytes). Strings are UTF-8 text, booleans the text "true" or
// "false", dates ISO 8601 in UTC; a value that does not have the form asked for reads as
// absent. Writes replace a file atomically (a temporary file in the same folder, fsync,
// rename), so a reader in any process sees the old value or the new one, never a part; a
// write also removes the temporary files of writers that were killed. Only regular files
// are read: a symbolic link, a folder or a FIFO under a key's name is a value that cannot
// be read, not an absent one. Folders are created 0700 and files 0600: the request key is
// a secret.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tessary {

using Bytes = std::vector<std::uint8_t>;

// What one stat of a value's file tells about which value it is: the file, its size and its
// times in nanoseconds. Every write makes a new file, so a changed value has another stamp,
// unless a file number freed by an older value is given out again to a value of the same
// size within the same tick of the file system's clock (see SettingsCache).
struct ValueStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // ns since the epoch
    std::int64_t changed = 0;  // ns since the epoch, the inode's change time

    friend bool operator==(const ValueStamp&, const ValueStamp&) = default;
};

// $XDG_CONFIG_HOME, or ~/.config (the home folder from the password database when HOME is
// not set): the folder of per-user configuration.
std::filesystem::path configHome();

class DefaultsStore {
public:
    using Clock = std::chrono::system_clock;

    // The domain the host and the file-manager extension share.
    static constexpr std::string_view kAppGroup = "group.com.orvane.tessary";
    // The host's own domain, the one standard() opens.
    static constexpr std::string_view kHostDomain = "com.orvane.tessary";

    // The domain's folder, created if needed; none if it cannot be created or read.
    static std::optional<DefaultsStore> open(std::string_view domain);
    // The shared domain (read-only if it cannot be written), or the host's own domain when
    // the shared one can be neither opened nor searched; decided once per process.
    static DefaultsStore appGroup();
    // The host's own domain. Its reads give nothing and its writes fail if its folder
    // cannot be made.
    static DefaultsStore standard();
    // configHome()/tessary.
    static std::filesystem::path rootFolder();

    const std::filesystem::path& folder() const { return m_folder; }

    // The value, or none when it is absent. A value that exists but cannot be read (no
    // permission, an I/O error, not a regular file) sets `error` and gives none.
    std::optional<Bytes> data(std::string_view key, std::error_code& error) const;
    // As above, and the stamp of the file that was read into `stamp` when there is a value.
    std::optional<Bytes> data(std::string_view key, std::error_code& error,
                              ValueStamp& stamp) const;
    // As above, with a value that cannot be read giving none.
    std::optional<Bytes> data(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    // The stamp of the key's file, without opening it; none when it is absent. A file that is
    // not a regular one, or that cannot be looked at, sets `error`.
    std::optional<ValueStamp> stamp(std::string_view key, std::error_code& error) const;
    // True when the folder's file system gives stamps that follow every write at once: a
    // local one (a network file system may answer a stat from a cache of its own).
    bool hasExactStamps() const;
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<Clock::time_point> date(std::string_view key) const;

    std::error_code setData(std::string_view key, std::span<const std::uint8_t> value) const;
    std::error_code setString(std::string_view key, std::string_view value) const;
    std::error_code setBool(std::string_view key, bool value) const;
    std::error_code setDate(std::string_view key, Clock::time_point value) const;
    std::error_code remove(std::string_view key) const;

    // Stores `value` only if the key has no value yet, atomically across processes: of two
    // concurrent callers exactly one succeeds and the other gets errc::file_exists. Needs no
    // hard links where the file system can rename without replacing.
    std::error_code createIfAbsent(std::string_view key, std::span<const std::uint8_t> value) const;

    // Runs `work` holding the domain's exclusive lock (an advisory lock shared by every
    // process using this store), for read-check-write sequences that must not interleave.
    template <typename Work> auto withLock(Work&& work) const
    {
        const int fd = lock();
        struct Unlock {
            const DefaultsStore& store;
            int fd;
            ~Unlock() { store.unlock(fd); }
        } guard{*this, fd};
        return work();
    }

private:
    explicit DefaultsStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    std::error_code write(std::string_view key, std::span<const std::uint8_t> value,
                          bool onlyIfAbsent) const;
    void removeStaleTemporaries() const;
    int lock() const;
    void unlock(int fd) const;

    std::filesystem::path m_folder;
};

} // namespace tessary

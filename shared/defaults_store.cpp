// File-per-key defaults store with atomic replacement.
#include "shared/defaults_store.h"

#include "shared/posix_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tessary {
namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

bool isValidKey(std::string_view key)
{
    return !key.empty() && key.size() <= 255 && key.front() != '.' &&
           key.find('/') == std::string_view::npos && key.find('\0') == std::string_view::npos;
}

// True when `path` is a folder that can be searched (and listed and written, when
// `ownFolder`).
bool isUsableFolder(const std::filesystem::path& path, bool ownFolder = true)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(path.c_str(), ownFolder ? R_OK | W_OK | X_OK : X_OK) == 0;
}

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

ValueStamp stampOf(const struct stat& info)
{
    return {info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim)};
}

// Creates `path` as a 0700 folder if it is missing, then checks it as above.
bool ensureFolder(const std::filesystem::path& path, bool ownFolder)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return isUsableFolder(path, ownFolder);
}

std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Temporary files are named ".<key>.<six characters>"; no key starts with a dot.
constexpr std::size_t kSuffixLength = 6;

bool isTemporaryName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return name.starts_with('.') && dot != std::string_view::npos && dot > 1 &&
           name.size() - dot - 1 == kSuffixLength;
}

std::string randomSuffix()
{
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string suffix(kSuffixLength, ' ');
    for (char& c : suffix) {
        c = kLetters[pick(generator)];
    }
    return suffix;
}

// A file holding the value, synced and locked, under a fresh temporary name. The lock lasts
// while `fd` is open and tells removeStaleTemporaries() that its writer is alive.
struct Temporary {
    UniqueFd fd;
    std::string path;
};

std::error_code fillAndSync(int fd, std::span<const std::uint8_t> value)
{
    std::error_code error =
        writeAll(fd, {reinterpret_cast<const char*>(value.data()), value.size()});
    if (!error && ::fchmod(fd, 0600) != 0) {
        error = lastError();
    }
    if (!error && ::fdatasync(fd) != 0) {
        error = lastError();
    }
    return error;
}

std::error_code makeTemporary(const std::filesystem::path& folder, std::string_view key,
                              std::span<const std::uint8_t> value, Temporary& out)
{
    const std::string prefix = (folder / ("." + std::string(key) + ".")).string();
    // Where the file system has unnamed files, the name appears only once the file is
    // locked and complete, so a writer killed before that leaves nothing behind.
    UniqueFd unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (unnamed.get() >= 0 && ::flock(unnamed.get(), LOCK_EX) == 0) {
        if (const std::error_code error = fillAndSync(unnamed.get(), value)) {
            return error;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(unnamed.get());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = prefix + randomSuffix();
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                out = {std::move(unnamed), std::move(path)};
                return {};
            }
            if (errno != EEXIST) {
                break; // no /proc, or no links here: name the file from the start instead
            }
        }
    }
    std::string path = prefix + "XXXXXX";
    UniqueFd named(::mkostemp(path.data(), O_CLOEXEC));
    if (named.get() < 0) {
        return lastError();
    }
    ::flock(named.get(), LOCK_EX);
    if (const std::error_code error = fillAndSync(named.get(), value)) {
        ::unlink(path.c_str());
        return error;
    }
    out = {std::move(named), std::move(path)};
    return {};
}

std::error_code renameOver(const std::string& temporary, const std::string& target)
{
    return ::rename(temporary.c_str(), target.c_str()) == 0 ? std::error_code() : lastError();
}

// Moves the temporary file to `target` unless a value is there already. File systems that
// cannot rename without replacing get a hard link instead, and those without hard links an
// exclusive create of the target itself (readers may then briefly see a part of the value).
std::error_code createFrom(const std::string& temporary, const std::string& target,
                           std::span<const std::uint8_t> value)
{
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return lastError();
    }
    if (::link(temporary.c_str(), target.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return {};
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) {
        return lastError();
    }
    const UniqueFd fd(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return lastError();
    }
    if (const std::error_code error = fillAndSync(fd.get(), value)) {
        ::unlink(target.c_str());
        return error;
    }
    ::unlink(temporary.c_str());
    return {};
}

} // namespace

std::filesystem::path configHome()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config";
}

std::filesystem::path DefaultsStore::rootFolder()
{
    return configHome() / "tessary";
}

std::optional<DefaultsStore> DefaultsStore::open(std::string_view domain)
{
    if (!isValidKey(domain)) {
        return std::nullopt;
    }
    const std::filesystem::path root = rootFolder();
    std::filesystem::path folder = root / domain;
    // Usually the folder exists: one check then, instead of creating each level.
    if (isUsableFolder(folder)) {
        return DefaultsStore(std::move(folder));
    }
    // The configuration folder itself is the user's; it is created only if it is missing.
    if (!ensureFolder(root.parent_path(), false) || !ensureFolder(root, false) ||
        !ensureFolder(folder, true)) {
        return std::nullopt;
    }
    return DefaultsStore(std::move(folder));
}

DefaultsStore DefaultsStore::appGroup()
{
    // Decided once per process (per configuration folder), so that reads and writes go to the
    // same place: a shared folder that exists but cannot be written makes writes fail instead
    // of landing where the file manager never reads.
    static std::mutex mutex;
    static std::optional<std::pair<std::filesystem::path, bool>> decided;
    const std::filesystem::path folder = rootFolder() / kAppGroup;
    auto store = open(kAppGroup); // made again if it was removed
    std::lock_guard lock(mutex);
    if (!decided || decided->first != folder) {
        decided.emplace(folder, store || isUsableFolder(folder, false));
    }
    return decided->second ? store.value_or(DefaultsStore(folder)) : standard();
}

DefaultsStore DefaultsStore::standard()
{
    if (auto store = open(kHostDomain)) {
        return *std::move(store);
    }
    return DefaultsStore(rootFolder() / kHostDomain);
}

std::optional<Bytes> DefaultsStore::data(std::string_view key) const
{
    std::error_code ignored;
    return data(key, ignored);
}

std::optional<Bytes> DefaultsStore::data(std::string_view key, std::error_code& error) const
{
    ValueStamp ignored;
    return data(key, error, ignored);
}

std::optional<ValueStamp> DefaultsStore::stamp(std::string_view key, std::error_code& error) const
{
    error.clear();
    if (!isValidKey(key)) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstatat(AT_FDCWD, (m_folder / key).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            error = lastError();
        }
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::not_supported);
        return std::nullopt;
    }
    return stampOf(info);
}

bool DefaultsStore::hasExactStamps() const
{
    // Local file systems with nanosecond times, by their magic numbers (linux/magic.h).
    constexpr std::array<long, 8> kLocal = {
        0xEF53,     // ext2, ext3, ext4
        0x9123683E, // btrfs
        0x58465342, // xfs
        0x01021994, // tmpfs
        0xF2F52010, // f2fs
        0x794C7630, // overlayfs
        0x2FC12FC1, // zfs
        0xCA451A4E, // bcachefs
    };
    struct statfs info {};
    return ::statfs(m_folder.c_str(), &info) == 0 &&
           std::find(kLocal.begin(), kLocal.end(), static_cast<long>(info.f_type)) != kLocal.end();
}

std::optional<Bytes> DefaultsStore::data(std::string_view key, std::error_code& error,
                                         ValueStamp& stamp) const
{
    error.clear();
    if (!isValidKey(key)) {
        return std::nullopt;
    }
    // Never follows a link and never waits for a FIFO's writer: the file manager reads here.
    const UniqueFd fd(
        ::open((m_folder / key).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            error = lastError();
        }
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = lastError();
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(S_ISDIR(info.st_mode) ? std::errc::is_a_directory
                                                           : std::errc::not_supported);
        return std::nullopt;
    }
    stamp = stampOf(info);
    // Values are replaced whole, never written in place, so the opened file keeps the size
    // fstat gave: a read that returns exactly that much is the whole value. The byte of room
    // beyond it and the reads up to the end are for a file someone else grew meanwhile.
    const auto expected = static_cast<std::size_t>(info.st_size);
    Bytes bytes(expected + 1);
    std::size_t filled = 0;
    while (true) {
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = lastError();
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(n);
        if (n == 0 || (filled == expected && filled > 0)) {
            bytes.resize(filled);
            return bytes;
        }
        if (filled == bytes.size()) {
            bytes.resize(bytes.size() + 4096);
        }
    }
}

std::optional<std::string> DefaultsStore::string(std::string_view key) const
{
    auto bytes = data(key);
    if (!bytes) {
        return std::nullopt;
    }
    std::string text(bytes->begin(), bytes->end());
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        return std::nullopt;
    }
    return text;
}

std::optional<bool> DefaultsStore::boolean(std::string_view key) const
{
    const auto text = string(key);
    if (text == "true") {
        return true;
    }
    if (text == "false") {
        return false;
    }
    return std::nullopt;
}

std::optional<DefaultsStore::Clock::time_point> DefaultsStore::date(std::string_view key) const
{
    const auto text = string(key);
    if (!text) {
        return std::nullopt;
    }
    g_autoptr(GDateTime) parsed = g_date_time_new_from_iso8601(text->c_str(), nullptr);
    if (parsed == nullptr) {
        return std::nullopt;
    }
    const auto micros = std::chrono::microseconds(g_date_time_to_unix(parsed) * 1'000'000 +
                                                  g_date_time_get_microsecond(parsed));
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(micros));
}

std::error_code DefaultsStore::setData(std::string_view key,
                                       std::span<const std::uint8_t> value) const
{
    return write(key, value, false);
}

std::error_code DefaultsStore::setString(std::string_view key, std::string_view value) const
{
    return write(key, asBytes(value), false);
}

std::error_code DefaultsStore::setBool(std::string_view key, bool value) const
{
    return write(key, asBytes(value ? "true" : "false"), false);
}

std::error_code DefaultsStore::setDate(std::string_view key, Clock::time_point value) const
{
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(value.time_since_epoch()).count();
    g_autoptr(GDateTime) utc = g_date_time_new_from_unix_utc(micros / 1'000'000);
    if (utc == nullptr) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    g_autoptr(GDateTime) exact = g_date_time_add(utc, micros % 1'000'000);
    g_autofree gchar* text = g_date_time_format_iso8601(exact);
    return write(key, asBytes(text), false);
}

std::error_code DefaultsStore::remove(std::string_view key) const
{
    if (!isValidKey(key)) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    if (::unlink((m_folder / key).c_str()) != 0 && errno != ENOENT) {
        return lastError();
    }
    return {};
}

std::error_code DefaultsStore::createIfAbsent(std::string_view key,
                                              std::span<const std::uint8_t> value) const
{
    return write(key, value, true);
}

std::error_code DefaultsStore::write(std::string_view key, std::span<const std::uint8_t> value,
                                     bool onlyIfAbsent) const
{
    if (!isValidKey(key)) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    Temporary temporary;
    if (const std::error_code error = makeTemporary(m_folder, key, value, temporary)) {
        return error;
    }
    const std::string target = (m_folder / key).string();
    const std::error_code error = onlyIfAbsent ? createFrom(temporary.path, target, value)
                                               : renameOver(temporary.path, target);
    if (error) {
        ::unlink(temporary.path.c_str());
        return error;
    }
    // The folder is not synced: the value was on disk before it got its name, so after a
    // crash the key holds the old value or the new one, whichever the rename reached, and a
    // sync of the folder would only double the time every change of a setting takes.
    removeStaleTemporaries();
    return {};
}

void DefaultsStore::removeStaleTemporaries() const
{
    DIR* listing = ::opendir(m_folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const int folder = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (!isTemporaryName(entry->d_name)) {
            continue;
        }
        // A writer holds the lock on its temporary file until it is renamed; a file whose lock
        // can be taken belongs to a writer that is gone.
        const UniqueFd fd(
            ::openat(folder, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat opened {};
        struct stat named {};
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstat(fd.get(), &opened) == 0 &&
            ::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

int DefaultsStore::lock() const
{
    const int fd =
        ::open((m_folder / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return fd; // without a lock file the work still runs, unguarded
}

void DefaultsStore::unlock(int fd) const
{
    if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
}

} // namespace tessary

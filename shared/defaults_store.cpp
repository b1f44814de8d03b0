// File-per-key defaults store with atomic replacement.
#include "defaults_store.h"

#include "posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {
namespace {

std::mutex g_standardDomainMutex;
std::string g_standardDomain(DefaultsStore::kHostDomain);

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

} // namespace

std::filesystem::path DefaultsStore::rootFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::filesystem::path(config) / "tessary";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config" / "tessary";
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
    if (auto store = open(kAppGroup)) {
        return *std::move(store);
    }
    return standard();
}

DefaultsStore DefaultsStore::standard()
{
    std::string domain;
    {
        std::lock_guard lock(g_standardDomainMutex);
        domain = g_standardDomain;
    }
    if (auto store = open(domain)) {
        return *std::move(store);
    }
    return DefaultsStore(rootFolder() / domain);
}

void DefaultsStore::setStandardDomain(std::string_view domain)
{
    std::lock_guard lock(g_standardDomainMutex);
    g_standardDomain = domain;
}

std::optional<Bytes> DefaultsStore::data(std::string_view key) const
{
    if (!isValidKey(key)) {
        return std::nullopt;
    }
    const int fd = ::open((m_folder / key).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::optional<Bytes> result;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        Bytes bytes(static_cast<std::size_t>(info.st_size));
        std::size_t filled = 0;
        while (true) {
            if (filled == bytes.size()) {
                bytes.resize(bytes.size() + 4096); // the file may have grown since fstat
            }
            const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                break;
            }
            if (n == 0) {
                bytes.resize(filled);
                result = std::move(bytes);
                break;
            }
            filled += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return result;
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
    GDateTime* parsed = g_date_time_new_from_iso8601(text->c_str(), nullptr);
    if (parsed == nullptr) {
        return std::nullopt;
    }
    const auto micros = std::chrono::microseconds(g_date_time_to_unix(parsed) * 1'000'000 +
                                                  g_date_time_get_microsecond(parsed));
    g_date_time_unref(parsed);
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
    GDateTime* utc = g_date_time_new_from_unix_utc(micros / 1'000'000);
    if (utc == nullptr) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    GDateTime* exact = g_date_time_add(utc, micros % 1'000'000);
    g_date_time_unref(utc);
    gchar* text = g_date_time_format_iso8601(exact);
    g_date_time_unref(exact);
    const std::error_code error = write(key, asBytes(text), false);
    g_free(text);
    return error;
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
    // The temporary name starts with a dot, which no key may, so it never shadows a key.
    std::string temporary = (m_folder / ("." + std::string(key) + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    std::error_code error =
        writeAll(fd, {reinterpret_cast<const char*>(value.data()), value.size()});
    if (!error && ::fchmod(fd, 0600) != 0) {
        error = lastError();
    }
    if (!error && ::fsync(fd) != 0) {
        error = lastError();
    }
    if (::close(fd) != 0 && !error) {
        error = lastError();
    }
    const std::string target = (m_folder / key).string();
    if (!error) {
        // link() never replaces an existing name, which makes create-if-absent atomic;
        // rename() replaces it atomically.
        const int result = onlyIfAbsent ? ::link(temporary.c_str(), target.c_str())
                                        : ::rename(temporary.c_str(), target.c_str());
        if (result != 0) {
            error = lastError();
        }
    }
    if (error || onlyIfAbsent) {
        ::unlink(temporary.c_str());
    }
    if (!error) {
        const int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    return error;
}

int DefaultsStore::lock() const
{
    const int fd = ::open((m_folder / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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

// Temporary folders, per-test environment and log capture.
#include "test_support.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace tessary::test {

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

void ConfigFolderTest::SetUp()
{
    m_folder.emplace();
    std::filesystem::create_directory(runtimeFolder());
    std::filesystem::permissions(runtimeFolder(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    std::filesystem::create_directory(scratchFolder());
    for (const auto& [name, value] : {std::pair{"XDG_CONFIG_HOME", configHome()},
                                      std::pair{"XDG_RUNTIME_DIR", runtimeFolder()}}) {
        const char* previous = std::getenv(name);
        m_savedEnvironment.emplace_back(
            name, previous != nullptr ? std::optional<std::string>(previous) : std::nullopt);
        ::setenv(name, value.c_str(), 1);
    }
}

void ConfigFolderTest::TearDown()
{
    for (const auto& [name, value] : m_savedEnvironment) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    m_savedEnvironment.clear();
    m_folder.reset();
}

std::string capturedLog(const std::function<void()>& work)
{
    ::testing::internal::CaptureStderr();
    work();
    return ::testing::internal::GetCapturedStderr();
}

} // namespace tessary::test

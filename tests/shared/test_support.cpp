// Temporary configuration folders and log capture for the unit tests.
#include "test_support.h"

#include <cstdlib>
#include <string>

namespace tessary::test {

void ConfigFolderTest::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessary-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    ::setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
}

void ConfigFolderTest::TearDown()
{
    if (m_hadPrevious) {
        ::setenv("XDG_CONFIG_HOME", m_previous.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ignored;
    std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_folder, ignored);
}

std::string capturedLog(const std::function<void()>& work)
{
    ::testing::internal::CaptureStderr();
    work();
    return ::testing::internal::GetCapturedStderr();
}

} // namespace tessary::test

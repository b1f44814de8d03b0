// Fixtures shared by the unit tests: a private configuration folder per test and a way to
// read what the logger wrote.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace tessary::test {

// Points XDG_CONFIG_HOME at a fresh temporary folder for the duration of one test.
class ConfigFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path configHome() const { return m_folder / "config"; }
    std::filesystem::path domainFolder(const std::string& domain) const
    {
        return configHome() / "tessary" / domain;
    }

private:
    std::filesystem::path m_folder;
    std::string m_previous;
    bool m_hadPrevious = false;
};

// Runs `work` and returns what it wrote to stderr (where the tests' logger writes).
std::string capturedLog(const std::function<void()>& work);

} // namespace tessary::test

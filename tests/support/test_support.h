// Fixtures shared by the tests: private per-test folders and a way to read what the logger
// wrote.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessary::test {

// A fresh folder under the temporary directory, removed with its contents.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "tessary-test");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Gives each test its own XDG_CONFIG_HOME and XDG_RUNTIME_DIR (0700, where the host channel
// lives), and a scratch folder for files it makes; the environment is restored afterwards.
class ConfigFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path configHome() const { return m_folder->path() / "config"; }
    std::filesystem::path runtimeFolder() const { return m_folder->path() / "runtime"; }
    std::filesystem::path scratchFolder() const { return m_folder->path() / "scratch"; }
    std::filesystem::path domainFolder(const std::string& domain) const
    {
        return configHome() / "tessary" / domain;
    }

private:
    std::optional<TemporaryFolder> m_folder;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_savedEnvironment;
};

// Runs `work` and returns what it wrote to stderr (where the tests' logger writes).
std::string capturedLog(const std::function<void()>& work);

} // namespace tessary::test

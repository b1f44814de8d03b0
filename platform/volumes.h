// Names of mounted volumes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessary {

// The label of the file system mounted at `mountPoint`, when it has one.
std::optional<std::string> volumeLabel(const std::filesystem::path& mountPoint);

} // namespace tessary

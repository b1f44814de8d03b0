// Hands a signed create-request URL to the host: to the running instance over the host
// channel, or, when none runs, by starting the host binary with the URL as its argument.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

class HostHandOver {
public:
    // Starts argv[0] with the arguments, without waiting for it; returns why it could not.
    using Spawn = std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;

    // A running host takes a request within milliseconds; this bounds how long a click may
    // hold the file manager's UI thread when the host is stuck.
    static constexpr std::chrono::milliseconds kDeliveryTimeout{1000};

    // `hostBinary`: the host started when none runs. `spawn` defaults to spawnDetached.
    explicit HostHandOver(std::filesystem::path hostBinary, Spawn spawn = {});

    // None when the host took the URL or was started with it; otherwise what went wrong.
    std::optional<std::string> handOver(const std::string& url, bool activates) const;

    const std::filesystem::path& hostBinary() const { return m_hostBinary; }

    // The host's command line: `tessary [--activate] URL`.
    std::vector<std::string> hostCommand(const std::string& url, bool activates) const;

    // posix_spawn in "/", with a thread that reaps the child so it leaves no zombie.
    static std::optional<std::string> spawnDetached(const std::vector<std::string>& argv);

private:
    std::filesystem::path m_hostBinary;
    Spawn m_spawn;
};

} // namespace tessary

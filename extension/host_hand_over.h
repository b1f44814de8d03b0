// Hands a signed create-request URL to the host: to the running instance over the host
// channel, or, when none runs, by starting the host binary with the URL as its argument.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

class HostHandOver {
public:
    // Starts argv[0] with the arguments, without waiting for it; returns why it could not.
    using Spawn = std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;

    // A running host takes a request within milliseconds; a stuck one is given up on after
    // this long.
    static constexpr std::chrono::milliseconds kDeliveryTimeout{1000};
    // How long a host started for an earlier request may take to listen; a request meanwhile
    // waits for it instead of starting another.
    static constexpr std::chrono::milliseconds kStartWindow{5000};

    // `hostBinary`: the host started when none runs. `fileManager`: the bus name of the file
    // manager this module runs in ("org.gnome.Nautilus"), where the host shows the new file;
    // empty for none. `spawn` defaults to spawnDetached.
    explicit HostHandOver(std::filesystem::path hostBinary, std::string fileManager = {},
                          Spawn spawn = {});

    // None when the host took the URL or was started with it; otherwise what went wrong. May
    // wait for a host that is starting up: call it off the file manager's UI thread.
    std::optional<std::string> handOver(const std::string& url, bool activates) const;

    const std::filesystem::path& hostBinary() const { return m_hostBinary; }

    // The host's command line: `tessary [--activate] [--file-manager NAME] URL`.
    std::vector<std::string> hostCommand(const std::string& url, bool activates) const;

    // Starts the program in "/" with its input and output on /dev/null, through GLib's double
    // fork, so it is never left a zombie of the caller; reports a failed exec.
    static std::optional<std::string> spawnDetached(const std::vector<std::string>& argv);

private:
    using Clock = std::chrono::steady_clock;

    std::filesystem::path m_hostBinary;
    std::string m_fileManager;
    Spawn m_spawn;
    // When this object last started the host, in steady-clock ticks (0: never).
    std::shared_ptr<std::atomic<Clock::rep>> m_startedAt =
        std::make_shared<std::atomic<Clock::rep>>(0);
};

} // namespace tessary

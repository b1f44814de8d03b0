// Delivery over the host channel, and starting the host when nobody listens.
#include "extension/host_hand_over.h"

#include "shared/host_channel.h"

#include <thread>

#include <glib.h>

namespace tessary {

HostHandOver::HostHandOver(std::filesystem::path hostBinary, std::string fileManager, Spawn spawn)
    : m_hostBinary(std::move(hostBinary)), m_fileManager(std::move(fileManager)),
      m_spawn(spawn ? std::move(spawn) : Spawn(spawnDetached))
{
}

std::vector<std::string> HostHandOver::hostCommand(const std::string& url, bool activates) const
{
    std::vector<std::string> argv{m_hostBinary.string()};
    if (activates) {
        argv.emplace_back("--activate");
    }
    if (!m_fileManager.empty()) {
        argv.emplace_back("--file-manager");
        argv.push_back(m_fileManager);
    }
    argv.push_back(url);
    return argv;
}

std::optional<std::string> HostHandOver::handOver(const std::string& url, bool activates) const
{
    const HostMessage message{{url}, activates, false, false, m_fileManager};
    DeliveryResult delivery = deliverToHost(message, kDeliveryTimeout);
    const Clock::time_point startedAt{Clock::duration(m_startedAt->load())};
    while (delivery.status == DeliveryStatus::noHost && m_startedAt->load() != 0 &&
           Clock::now() < startedAt + kStartWindow) {
        // The host started for an earlier request is not listening yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        delivery = deliverToHost(message, kDeliveryTimeout);
    }
    switch (delivery.status) {
    case DeliveryStatus::delivered:
        return std::nullopt;
    case DeliveryStatus::failed:
        // A host is there but did not take it; a second one would only forward to it.
        return delivery.error;
    case DeliveryStatus::noHost:
        break;
    }
    if (auto error = m_spawn(hostCommand(url, activates))) {
        return "could not start " + m_hostBinary.string() + ": " + *error;
    }
    m_startedAt->store(Clock::now().time_since_epoch().count());
    return std::nullopt;
}

std::optional<std::string> HostHandOver::spawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty()) {
        return "nothing to start";
    }
    std::vector<gchar*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<gchar*>(arg.c_str()));
    }
    args.push_back(nullptr);
    GError* error = nullptr;
    if (g_spawn_async(
            "/", args.data(), nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL),
            nullptr, nullptr, nullptr, &error)) {
        return std::nullopt;
    }
    std::string text = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

} // namespace tessary

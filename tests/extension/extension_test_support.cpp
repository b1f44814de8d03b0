// Folders, stored templates and stand-in hosts for the extension's tests.
#include "extension_test_support.h"

#include "processes.h"
#include "shared_settings.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary::test {

namespace fs = std::filesystem;

FileTemplate makeTemplate(std::string name, std::string baseName, std::string extension)
{
    return {Uuid::random(), std::move(name), std::move(baseName), std::move(extension), "text"};
}

void storeTemplates(const std::vector<FileTemplate>& templates,
                    std::optional<std::size_t> defaultIndex, bool diskAccess)
{
    SharedSettings settings;
    settings.templates = templates;
    if (defaultIndex) {
        settings.defaultTemplateID = templates.at(*defaultIndex).id;
    }
    if (diskAccess) {
        settings.rootBookmark = Bytes{1, 2, 3};
        settings.rootPath = "/";
    }
    EXPECT_FALSE(settings.save());
}

StandInHost::StandInHost(std::string reply)
{
    const auto path = hostSocketPath(true);
    EXPECT_TRUE(path);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path->c_str(), sizeof(address.sun_path) - 1);
    EXPECT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(m_listener, 4), 0);
    m_thread = std::thread([this, reply] {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        char c = 0;
        while (::read(client, &c, 1) == 1 && c != '\n') {
            m_line += c;
        }
        (void)!::write(client, reply.data(), reply.size());
        ::close(client);
    });
}

StandInHost::~StandInHost()
{
    ::shutdown(m_listener, SHUT_RDWR); // ends an accept that nobody connected to
    if (m_thread.joinable()) {
        m_thread.join();
    }
    ::close(m_listener);
    if (const auto path = hostSocketPath()) {
        ::unlink(path->c_str()); // as a host does when it quits
    }
}

std::optional<HostMessage> StandInHost::message()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return decodeHostMessage(m_line);
}

void writeStandInProgram(const fs::path& path)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n"
                           "printf '%s\\n' \"$@\" > \"$0.args.part\" && mv \"$0.args.part\" "
                           "\"$0.args\"\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::optional<std::vector<std::string>> standInArguments(const fs::path& program,
                                                         std::chrono::milliseconds timeout)
{
    const fs::path record = program.string() + ".args";
    if (!waitUntil([&] { return fs::exists(record); }, timeout)) {
        return std::nullopt;
    }
    std::ifstream in(record);
    std::vector<std::string> arguments;
    for (std::string line; std::getline(in, line);) {
        arguments.push_back(line);
    }
    return arguments;
}

} // namespace tessary::test

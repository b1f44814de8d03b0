// Journal or stderr output for Logger, chosen once per process.
#include "shared/logger.h"

#include "shared/hex.h"
#include "shared/posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace tessary {
namespace {

enum class Sink { journal, standardError };

Sink chooseSink()
{
    const char* forced = std::getenv("TESSARY_LOG");
    if (forced != nullptr && std::string_view(forced) == "stderr") {
        return Sink::standardError;
    }
    return ::access("/run/systemd/journal/socket", W_OK) == 0 ? Sink::journal : Sink::standardError;
}

Sink sink()
{
    static const Sink chosen = chooseSink();
    return chosen;
}

std::string_view levelName(LogLevel level)
{
    switch (level) {
    case LogLevel::debug:
        return "DEBUG";
    case LogLevel::info:
        return "INFO";
    case LogLevel::error:
        return "ERROR";
    }
    return "INFO";
}

// Control characters are written as escapes, so that a value holding a line feed (a folder
// name, a URL from anyone) can neither split its line nor forge another. The journal keeps
// a message whole on its own.
void appendEscaped(std::string& line, std::string_view message)
{
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            line += c;
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            appendHex(line.append("\\x"), {&byte, 1}, HexCase::lower);
        }
    }
}

int priority(LogLevel level)
{
    switch (level) {
    case LogLevel::debug:
        return LOG_DEBUG;
    case LogLevel::info:
        return LOG_INFO;
    case LogLevel::error:
        return LOG_ERR;
    }
    return LOG_INFO;
}

} // namespace

void Logger::log(LogLevel level, std::string_view message) const
{
    const int savedErrno = errno;
    if (sink() == Sink::journal) {
        const std::string text(message);
        const std::string category(m_category);
        sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%d", priority(level),
                        "TESSARY_SUBSYSTEM=%s", kLogSubsystem.data(), "TESSARY_CATEGORY=%s",
                        category.c_str(), nullptr);
    } else {
        // One write per line keeps lines from concurrent threads apart.
        std::string line;
        line.reserve(message.size() + 48);
        line.append(levelName(level)).append(" ").append(kLogSubsystem);
        line.append("[").append(m_category).append("] ");
        appendEscaped(line, message);
        line += '\n';
        writeAll(STDERR_FILENO, line);
    }
    errno = savedErrno;
}

} // namespace tessary

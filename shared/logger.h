// The one logger of both deliverables.
//
// Lines go to the systemd journal (fields TESSARY_SUBSYSTEM and TESSARY_CATEGORY, priority
// by level) when its socket exists, and otherwise to stderr as one line per message:
// "LEVEL com.orvane.tessary[category] message". TESSARY_LOG=stderr forces stderr.
#pragma once

#include "shared/text_format.h"

#include <exception>
#include <string_view>

namespace tessary {

inline constexpr std::string_view kLogSubsystem = "com.orvane.tessary";

enum class LogLevel { debug, info, error };

class Logger {
public:
    explicit constexpr Logger(std::string_view category) : m_category(category) {}

    std::string_view category() const { return m_category; }

    void log(LogLevel level, std::string_view message) const;

    template <typename... Args> void debug(std::string_view fmt, const Args&... args) const
    {
        log(LogLevel::debug, format(fmt, args...));
    }
    template <typename... Args> void info(std::string_view fmt, const Args&... args) const
    {
        log(LogLevel::info, format(fmt, args...));
    }
    template <typename... Args> void error(std::string_view fmt, const Args&... args) const
    {
        log(LogLevel::error, format(fmt, args...));
    }

private:
    std::string_view m_category;
};

// Runs `work` and logs what it throws instead of letting it go further: for the callbacks of
// event loops and C libraries, which no exception may cross.
template <typename Work>
void guarded(const Logger& log, std::string_view what, Work&& work) noexcept
{
    try {
        work();
    } catch (const std::exception& error) {
        log.error("%s failed: %{public}s", what, error.what());
    } catch (...) {
        log.error("%s failed", what);
    }
}

} // namespace tessary

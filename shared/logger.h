// The one logger of both deliverables.
//
// Lines go to the systemd journal (fields TESSARY_SUBSYSTEM and TESSARY_CATEGORY, priority
// by level) when its socket exists, and otherwise to stderr as one line per message:
// "LEVEL com.orvane.tessary[category] message". TESSARY_LOG=stderr forces stderr.
#pragma once

#include "text_format.h"

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

} // namespace tessary

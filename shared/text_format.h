// Printf-style substitution for log lines and translated texts.
//
// Placeholders are those of the product's message texts: %s, %@, %d, %ld, %lld, %u, %lu,
// %llu, %i, annotated forms of log lines such as "%{public}s" and "%{bool}d", positional forms such
// as %1$s (so a translation may reorder its values) and %% for a literal per-cent sign. Every value
// is turned into text first; a placeholder without a value is copied as written.
#pragma once

#include <concepts>
#include <span>
#include <string>
#include <string_view>

namespace tessary {

std::string formatText(std::string_view format, std::span<const std::string> values);

namespace detail {
inline std::string formatArg(std::string_view value)
{
    return std::string(value);
}
inline std::string formatArg(const char* value)
{
    return value ? value : "(null)";
}
template <std::integral T>
requires(!std::same_as<T, bool> && !std::same_as<T, char>) std::string formatArg(T value)
{
    return std::to_string(value);
}
} // namespace detail

template <typename... Args> std::string format(std::string_view format, const Args&... args)
{
    const std::string values[sizeof...(Args) + 1] = {detail::formatArg(args)..., {}};
    return formatText(format, std::span(values, sizeof...(Args)));
}

} // namespace tessary

// Hexadecimal digits, as used by UUIDs, signatures and percent-encoding.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tessary {

// The value of one hexadecimal digit in either case, or -1.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

enum class HexCase { lower, upper };

// Two digits per byte, most significant first, appended to `text`.
inline void appendHex(std::string& text, std::span<const std::uint8_t> bytes, HexCase letters)
{
    const char* digits = letters == HexCase::lower ? "0123456789abcdef" : "0123456789ABCDEF";
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
}

inline std::string toHex(std::span<const std::uint8_t> bytes, HexCase letters)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    appendHex(text, bytes, letters);
    return text;
}

} // namespace tessary

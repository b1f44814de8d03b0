// A 128-bit UUID in the textual form 8-4-4-4-12 (written upper-case, read in either case).
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

class Uuid {
public:
    constexpr Uuid() = default;
    explicit constexpr Uuid(const std::array<std::uint8_t, 16>& bytes) : m_bytes(bytes) {}

    // A new random (version 4) UUID.
    static Uuid random();
    // Parses "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" in upper or lower case; nothing else.
    static std::optional<Uuid> parse(std::string_view text);

    std::string toString() const;
    const std::array<std::uint8_t, 16>& bytes() const { return m_bytes; }

    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace tessary

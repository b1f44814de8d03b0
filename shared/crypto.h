// HMAC-SHA256 and random bytes through OpenSSL's libcrypto.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tessary {

using Sha256Mac = std::array<std::uint8_t, 32>;

Sha256Mac hmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

// True when `mac` is exactly the HMAC-SHA256 of `message` under `key`; compared in
// constant time.
bool isValidHmacSha256(std::span<const std::uint8_t> mac, std::span<const std::uint8_t> key,
                       std::span<const std::uint8_t> message);

// Fills `out` from the cryptographically secure generator. Throws std::runtime_error if it
// cannot (a predictable key must never be used), as the MAC functions do if OpenSSL fails.
void randomBytes(std::span<std::uint8_t> out);

// Loads the HMAC implementation and seeds the generator ahead of the first request.
void warmUpCrypto();

} // namespace tessary

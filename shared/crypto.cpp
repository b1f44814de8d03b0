// HMAC-SHA256 through the EVP_MAC interface; the MAC implementation is fetched once.
#include "shared/crypto.h"

#include <memory>
#include <stdexcept>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace tessary {
namespace {

EVP_MAC* hmacAlgorithm()
{
    // Fetching is the costly part (a provider lookup); the result is thread-safe to share.
    static EVP_MAC* const mac = [] {
        EVP_MAC* fetched = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
        if (fetched == nullptr) {
            throw std::runtime_error("OpenSSL has no HMAC implementation");
        }
        return fetched;
    }();
    return mac;
}

struct MacContextFree {
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

} // namespace

Sha256Mac hmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message)
{
    std::unique_ptr<EVP_MAC_CTX, MacContextFree> context(EVP_MAC_CTX_new(hmacAlgorithm()));
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end(),
    };
    Sha256Mac mac{};
    std::size_t length = 0;
    // A key of zero bytes is valid for HMAC but EVP_MAC_init wants a non-null pointer.
    static const std::uint8_t kNoKey = 0;
    const bool ok =
        context != nullptr &&
        EVP_MAC_init(context.get(), key.empty() ? &kNoKey : key.data(), key.size(), params) == 1 &&
        EVP_MAC_update(context.get(), message.data(), message.size()) == 1 &&
        EVP_MAC_final(context.get(), mac.data(), &length, mac.size()) == 1 && length == mac.size();
    if (!ok) {
        throw std::runtime_error("HMAC-SHA256 failed");
    }
    return mac;
}

bool isValidHmacSha256(std::span<const std::uint8_t> mac, std::span<const std::uint8_t> key,
                       std::span<const std::uint8_t> message)
{
    if (mac.size() != Sha256Mac().size()) {
        return false;
    }
    const Sha256Mac expected = hmacSha256(key, message);
    return CRYPTO_memcmp(expected.data(), mac.data(), expected.size()) == 0;
}

void randomBytes(std::span<std::uint8_t> out)
{
    if (out.empty()) {
        return;
    }
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1) {
        throw std::runtime_error("The random number generator failed");
    }
}

void warmUpCrypto()
{
    static const std::uint8_t kProbe[1] = {0};
    hmacSha256(kProbe, kProbe);
    std::uint8_t seed[1];
    randomBytes(seed);
}

} // namespace tessary

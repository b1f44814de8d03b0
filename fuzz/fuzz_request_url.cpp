// Feeds arbitrary text to the create-request verifier, and checks that whatever it accepts
// survives a rebuild: the builder's URL for the accepted request verifies to the same request.
#include "shared/create_request.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessary;
    static const RequestKey key = [] {
        RequestKey k{};
        for (std::size_t i = 0; i < k.size(); ++i) {
            k[i] = static_cast<std::uint8_t>(i);
        }
        return k;
    }();
    const auto now = CreateRequest::Clock::time_point(std::chrono::seconds(1'796'579'721));
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    if (const auto request = CreateRequest::verifying(url, key, now)) {
        if (request->templateIndex < 0 || !request->directory.starts_with('/')) {
            std::abort();
        }
        const auto rebuilt = request->signedURL(key, now);
        if (!rebuilt || CreateRequest::verifying(*rebuilt, key, now) != request) {
            std::abort();
        }
    }
    // Round trip of arbitrary folder text through the builder, which refuses a NUL byte.
    const CreateRequest anyFolder{"/" + std::string(url), static_cast<std::int64_t>(size)};
    const auto built = anyFolder.signedURL(key, now);
    if (built.has_value() == (anyFolder.directory.find('\0') != std::string::npos) ||
        (built && CreateRequest::verifying(*built, key, now).value_or(anyFolder) != anyFolder)) {
        std::abort();
    }
    return 0;
}

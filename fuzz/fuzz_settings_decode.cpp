// Feeds arbitrary bytes to the settings decoder. Anything it accepts must encode and decode
// back to the same document.
#include "shared/shared_settings.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessary;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const SharedSettings settings = SharedSettings::decode(text);
        if (SharedSettings::decode(settings.encode()) != settings) {
            std::abort();
        }
    } catch (const DecodingError&) {
    }
    return 0;
}

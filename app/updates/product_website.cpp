// The configured product website.
#include "updates/product_website.h"

#include <cstdlib>

namespace tessary {

std::string productWebsite()
{
    const char* configured = std::getenv("TESSARY_WEBSITE");
    std::string site =
        configured != nullptr && *configured != '\0' ? configured : TESSARY_DEFAULT_WEBSITE;
    while (site.ends_with('/')) {
        site.pop_back();
    }
    return site;
}

} // namespace tessary

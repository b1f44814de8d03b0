// The product website: the release feed, the release notes and the About window's links
// all live below it.
#pragma once

#include <string>

namespace tessary {

// The site's base URL without a trailing slash: TESSARY_WEBSITE from the environment when
// set (tests point it at a local server), else the one the build was configured with.
std::string productWebsite();

} // namespace tessary

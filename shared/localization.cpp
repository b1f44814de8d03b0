// Binds the "tessary" text domain once and looks texts up in it.
#include "shared/localization.h"

#include <cstdlib>
#include <mutex>

#include <libintl.h>

namespace tessary {
namespace {

void bindDomain()
{
    // TESSARY_LOCALEDIR points a build tree or a relocated install at its catalogues.
    const char* dir = std::getenv("TESSARY_LOCALEDIR");
    ::bindtextdomain(kTextDomain, dir != nullptr && *dir != '\0' ? dir : TESSARY_LOCALEDIR);
    ::bind_textdomain_codeset(kTextDomain, "UTF-8");
}

} // namespace

std::string tr(const char* messageId)
{
    static std::once_flag bound;
    std::call_once(bound, bindDomain);
    return ::dgettext(kTextDomain, messageId);
}

} // namespace tessary

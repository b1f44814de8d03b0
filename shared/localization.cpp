// Binds the "tessary" text domain once and looks texts up in it.
#include "shared/localization.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

#include <libintl.h>

namespace tessary {
namespace {

std::once_flag g_bound;

void bindDomain(const std::filesystem::path& directory)
{
    // TESSARY_LOCALEDIR points a build tree's tests or a moved install at its catalogues.
    const char* overridden = std::getenv("TESSARY_LOCALEDIR");
    ::bindtextdomain(kTextDomain,
                     overridden != nullptr && *overridden != '\0' ? overridden : directory.c_str());
    ::bind_textdomain_codeset(kTextDomain, "UTF-8");
}

// The catalogues as the install lays them out beside the running program's folder.
std::filesystem::path besideProgram()
{
    std::error_code error;
    const auto program = std::filesystem::canonical("/proc/self/exe", error);
    return (program.parent_path() / TESSARY_BINDIR_TO_LOCALEDIR).lexically_normal();
}

} // namespace

void setLocaleDirectory(const std::filesystem::path& directory)
{
    std::call_once(g_bound, [&directory] { bindDomain(directory); });
}

std::string tr(const char* messageId)
{
    std::call_once(g_bound, [] { bindDomain(besideProgram()); });
    return ::dgettext(kTextDomain, messageId);
}

} // namespace tessary

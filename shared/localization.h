// Translated user-facing texts (gettext, text domain "tessary").
//
// The message id is the English text exactly; formatted texts take their values as
// arguments, substituted after translation so a translation may reorder them (%1$s).
// Only the domain is bound: the process's locale belongs to its owner (the file manager
// loads this code too), so nothing here calls setlocale() or textdomain().
#pragma once

#include "shared/text_format.h"

#include <filesystem>
#include <string>

namespace tessary {

inline constexpr const char* kTextDomain = "tessary";

// The catalogues are found from where the code was installed, never from a compiled-in
// prefix: by default beside the running program (<bindir>/../share/locale). A module loaded
// into another program (the file manager) names its own folder's before its first text;
// later calls change nothing. TESSARY_LOCALEDIR in the environment overrides both.
void setLocaleDirectory(const std::filesystem::path& directory);

// The translation of `messageId` for the current locale, or the English text itself.
std::string tr(const char* messageId);

template <typename... Args>
requires(sizeof...(Args) > 0) std::string tr(const char* messageId, const Args&... args)
{
    return format(tr(messageId), args...);
}

} // namespace tessary

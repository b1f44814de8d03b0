// The icon symbol of a template, chosen by its file extension.
#pragma once

#include <span>
#include <string_view>

namespace tessary {

// A symbol and the extensions it stands for, as one space-separated list.
struct SymbolGroup {
    std::string_view symbol;
    std::string_view extensions;
};

// The authored extension table, in its order. No extension occurs twice.
std::span<const SymbolGroup> extensionSymbolGroups();

// The symbol for `ext`: lower-cased and trimmed of "." and " ", looked up in the extension
// table, then in the shared MIME database (remembered per process). Never fails; "doc"
// when nothing fits. Safe to call from any thread.
std::string_view symbolName(std::string_view ext);

// The symbol for a MIME content type by conformance to the listed kinds of file, first
// match wins; "doc" when none matches.
std::string_view symbolForContentType(std::string_view contentType);

} // namespace tessary

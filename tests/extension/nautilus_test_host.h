// A stand-in for Nautilus's module loading: a type module that opens one Nautilus module
// the way Nautilus does, and a file info that knows its URI and nothing else (Nautilus's
// own needs Nautilus). With G_DEBUG=fatal-criticals, a call the fake does not implement
// aborts the test.
#pragma once

#include <filesystem>
#include <string>

#include <glib-object.h>

extern "C" {
#include <nautilus-extension.h>
}

namespace tessary::test {

// Loads the module at `path` and returns the one type it lists, or 0. A process can load
// only one module: its types are registered by name.
GType loadNautilusModule(const std::filesystem::path& path);

// A new file info for `uri`; the caller owns the reference.
NautilusFileInfo* fileInfo(const std::string& uri);

std::string fileUri(const std::filesystem::path& path);

} // namespace tessary::test

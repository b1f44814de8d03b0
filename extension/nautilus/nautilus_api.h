// Nautilus's extension API. The header does not declare its module functions extern "C", and
// they must stay visible while everything else of ours is hidden.
#pragma once

// GLib's headers declare their own linkage (and pull in C++ headers): outside the block.
#include <gio/gio.h>
#include <glib-object.h>

extern "C" {
#pragma GCC visibility push(default)
#include <nautilus-extension.h>
#pragma GCC visibility pop
}

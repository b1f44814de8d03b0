// GNOME's light or dark preference (org.gnome.desktop.interface color-scheme), read and
// watched through GSettings. Without that schema (older GNOME, no GNOME at all) the scheme
// is empty and never changes.
#pragma once

#include <functional>
#include <string>

typedef struct _GSettings GSettings;

namespace tessary {

class GnomeColorScheme {
public:
    GnomeColorScheme();
    ~GnomeColorScheme();
    GnomeColorScheme(const GnomeColorScheme&) = delete;
    GnomeColorScheme& operator=(const GnomeColorScheme&) = delete;

    // "default", "prefer-dark" or "prefer-light"; empty when unknown.
    std::string scheme() const;

    // Runs on the main loop after the user changed the preference.
    std::function<void()> onChange;

private:
    GSettings* m_settings = nullptr;
};

} // namespace tessary

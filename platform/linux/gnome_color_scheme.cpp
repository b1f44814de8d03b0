// The schema is looked up first: GSettings aborts on a schema or key it does not know.
#include "platform/linux/gnome_color_scheme.h"

#include <gio/gio.h>

namespace tessary {
namespace {

constexpr const char* kSchema = "org.gnome.desktop.interface";
constexpr const char* kKey = "color-scheme";

} // namespace

GnomeColorScheme::GnomeColorScheme()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source != nullptr ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
    if (schema == nullptr) {
        return;
    }
    if (g_settings_schema_has_key(schema, kKey)) {
        m_settings = g_settings_new(kSchema);
        g_signal_connect(m_settings, "changed::color-scheme",
                         G_CALLBACK(+[](GSettings*, gchar*, gpointer data) {
                             auto* self = static_cast<GnomeColorScheme*>(data);
                             if (self->onChange) {
                                 self->onChange();
                             }
                         }),
                         this);
    }
    g_settings_schema_unref(schema);
}

GnomeColorScheme::~GnomeColorScheme()
{
    if (m_settings != nullptr) {
        g_signal_handlers_disconnect_by_data(m_settings, this);
        g_object_unref(m_settings);
    }
}

std::string GnomeColorScheme::scheme() const
{
    if (m_settings == nullptr) {
        return {};
    }
    gchar* value = g_settings_get_string(m_settings, kKey);
    std::string scheme = value != nullptr ? value : "";
    g_free(value);
    return scheme;
}

} // namespace tessary

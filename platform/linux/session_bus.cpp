// The lazily opened connection and the blocking call.
#include "platform/linux/session_bus.h"

#include <gio/gio.h>

namespace tessary {

SessionBus::~SessionBus()
{
    g_clear_object(&m_connection);
}

GDBusConnection* SessionBus::connection(GError** error)
{
    if (m_connection == nullptr) {
        m_connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error);
    }
    return m_connection;
}

GVariant* callSync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                   const char* method, GVariant* parameters, const char* replyType, int timeoutMs,
                   GError** error, bool startsService)
{
    return g_dbus_connection_call_sync(
        bus, name, path, interface, method, parameters, G_VARIANT_TYPE(replyType),
        startsService ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs,
        nullptr, error);
}

} // namespace tessary

// The bridge object on the file manager's connection, exported once its application is
// registered.
#include "extension/gtk3/bridge_export.h"

#include "shared/bridge_interface.h"
#include "shared/logger.h"

#include <cstring>

#include <gio/gio.h>

namespace tessary::gtk3 {
namespace {

const Logger kLog("finder-sync");

struct Bridge {
    BridgeAnswers answers;
    GDBusNodeInfo* node = nullptr;
    guint registration = 0;
    gulong registeredHandler = 0;
};

Bridge* g_bridge = nullptr; // made once, for the life of the process

void callMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer)
{
    GVariant* answer = nullptr;
    guarded(kLog, "Answering the bridge", [&] {
        if (std::strcmp(method, "ActiveWindow") == 0) {
            answer = g_bridge->answers.activeWindow();
            return;
        }
        const gchar* uri = nullptr;
        g_variant_get(parameters, "(&s)", &uri);
        if (std::strcmp(method, "Rename") == 0) {
            answer = g_variant_new("(b)", g_bridge->answers.rename(uri));
        } else if (std::strcmp(method, "Reveal") == 0) {
            answer = g_variant_new("(b)", g_bridge->answers.reveal(uri));
        }
    });
    if (answer != nullptr) {
        g_dbus_method_invocation_return_value(invocation, answer);
    } else {
        g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED,
                                                      "not answered");
    }
}

void exportObject(GApplication* application)
{
    GDBusConnection* connection = g_application_get_dbus_connection(application);
    if (connection == nullptr || g_bridge->registration != 0) {
        return;
    }
    static const GDBusInterfaceVTable vtable = {callMethod, nullptr, nullptr, {}};
    GError* error = nullptr;
    g_bridge->registration = g_dbus_connection_register_object(
        connection, kBridgePath, g_bridge->node->interfaces[0], &vtable, nullptr, nullptr, &error);
    if (g_bridge->registration == 0) {
        kLog.error("Could not offer the file manager bridge: %{public}s", error->message);
        g_error_free(error);
    }
}

void registrationChanged(GObject* object, GParamSpec*, gpointer)
{
    GApplication* application = G_APPLICATION(object);
    if (g_application_get_is_registered(application)) {
        g_signal_handler_disconnect(object, g_bridge->registeredHandler);
        g_bridge->registeredHandler = 0;
        exportObject(application);
    }
}

} // namespace

void exportBridge(const char* applicationId, BridgeAnswers answers) noexcept
{
    GApplication* application = g_application_get_default();
    const char* id =
        application != nullptr ? g_application_get_application_id(application) : nullptr;
    if (g_bridge != nullptr || id == nullptr || std::strcmp(id, applicationId) != 0) {
        return;
    }
    guarded(kLog, "Offering the file manager bridge", [&] {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kBridgeXml, nullptr);
        if (node == nullptr) {
            return;
        }
        g_bridge = new Bridge{std::move(answers), node};
        if (g_application_get_is_registered(application)) {
            exportObject(application);
        } else {
            g_bridge->registeredHandler = g_signal_connect(
                application, "notify::is-registered", G_CALLBACK(registrationChanged), nullptr);
        }
    });
}

GVariant* noActiveWindow()
{
    return g_variant_new("(bsss)", FALSE, "", "", "");
}

bool sameFile(const std::string& first, const char* second)
{
    GFile* a = g_file_new_for_uri(first.c_str());
    GFile* b = g_file_new_for_uri(second);
    const bool same = g_file_equal(a, b) != FALSE;
    g_object_unref(a);
    g_object_unref(b);
    return same;
}

} // namespace tessary::gtk3

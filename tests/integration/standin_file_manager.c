// A stand-in file manager for the integration tests: it owns org.freedesktop.FileManager1 on
// the session bus and logs every call it receives, and optionally shows a window that looks
// like GNOME Files to the host and logs the keys sent to it.
//
// Usage: standin_file_manager LOG [--window] [--refuse]
//   --window   map a window with the identity of GNOME Files ("org.gnome.Nautilus", "Files")
//   --refuse   answer every call with org.freedesktop.DBus.Error.Failed (after logging it)
//
// LOG gets one line per event, "<CLOCK_MONOTONIC microseconds> <event>":
//   ShowItems file:///tmp/a%20b.txt      one line per call, the URIs separated by spaces
//   KeyPress F2 / KeyRelease F2          keys reaching the window (see test_window.h)
//   ready                                the name is owned (and the window mapped)
// SIGTERM or SIGINT ends it with status 0; losing the name or the display with status 1.
#include "event_log.h"
#include "test_window.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <stdlib.h>
#include <string.h>

static const char kBusName[] = "org.freedesktop.FileManager1";
static const char kObjectPath[] = "/org/freedesktop/FileManager1";
static const char kIntrospection[] = "<node>"
                                     "  <interface name='org.freedesktop.FileManager1'>"
                                     "    <method name='ShowFolders'>"
                                     "      <arg type='as' name='URIs' direction='in'/>"
                                     "      <arg type='s' name='StartupId' direction='in'/>"
                                     "    </method>"
                                     "    <method name='ShowItems'>"
                                     "      <arg type='as' name='URIs' direction='in'/>"
                                     "      <arg type='s' name='StartupId' direction='in'/>"
                                     "    </method>"
                                     "    <method name='ShowItemProperties'>"
                                     "      <arg type='as' name='URIs' direction='in'/>"
                                     "      <arg type='s' name='StartupId' direction='in'/>"
                                     "    </method>"
                                     "  </interface>"
                                     "</node>";

typedef struct {
    EventLog* log;
    GMainLoop* loop;
    GDBusNodeInfo* node;
    TestWindow* window;
    gboolean want_window;
    gboolean refuse;
    gboolean name_owned;
    gboolean window_mapped;
    gboolean announced;
    int status;
} StandIn;

static void announce_when_ready(StandIn* self)
{
    if (!self->announced && self->name_owned && (!self->want_window || self->window_mapped)) {
        self->announced = TRUE;
        event_log_write(self->log, "ready");
    }
}

static gboolean on_window_mapped(gpointer data)
{
    StandIn* self = data;
    self->window_mapped = TRUE;
    announce_when_ready(self);
    return G_SOURCE_REMOVE;
}

static void on_method_call(GDBusConnection* connection, const char* sender, const char* object_path,
                           const char* interface_name, const char* method_name,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
{
    (void)connection;
    (void)sender;
    (void)object_path;
    (void)interface_name;
    StandIn* self = data;

    g_autofree const char** uris = NULL;
    const char* startup_id = NULL;
    g_variant_get(parameters, "(^a&s&s)", &uris, &startup_id);
    g_autofree char* joined = g_strjoinv(" ", (char**)uris);
    event_log_write(self->log, "%s %s", method_name, joined);

    if (self->refuse) {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed",
                                                   "refused by the test");
    } else {
        g_dbus_method_invocation_return_value(invocation, NULL);
    }
}

static const GDBusInterfaceVTable kVTable = {on_method_call, NULL, NULL, {NULL}};

static void on_bus_acquired(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)name;
    StandIn* self = data;
    g_autoptr(GError) error = NULL;
    if (g_dbus_connection_register_object(connection, kObjectPath, self->node->interfaces[0],
                                          &kVTable, self, NULL, &error) == 0) {
        g_printerr("standin_file_manager: %s\n", error->message);
        self->status = EXIT_FAILURE;
        g_main_loop_quit(self->loop);
    }
}

static void on_name_acquired(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)connection;
    (void)name;
    StandIn* self = data;
    self->name_owned = TRUE;
    announce_when_ready(self);
}

static void on_name_lost(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)connection;
    StandIn* self = data;
    g_printerr("standin_file_manager: could not own %s (no bus, or taken)\n", name);
    event_log_write(self->log, "name-lost");
    self->status = EXIT_FAILURE;
    g_main_loop_quit(self->loop);
}

static gboolean on_signal(gpointer data)
{
    StandIn* self = data;
    g_main_loop_quit(self->loop);
    return G_SOURCE_CONTINUE;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        g_printerr("usage: %s LOG [--window] [--refuse]\n", argv[0]);
        return 2;
    }
    StandIn self = {0};
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--window") == 0) {
            self.want_window = TRUE;
        } else if (strcmp(argv[i], "--refuse") == 0) {
            self.refuse = TRUE;
        } else {
            g_printerr("standin_file_manager: unknown option %s\n", argv[i]);
            return 2;
        }
    }

    g_autoptr(GError) error = NULL;
    self.log = event_log_open(argv[1], &error);
    if (self.log == NULL) {
        g_printerr("standin_file_manager: %s\n", error->message);
        return EXIT_FAILURE;
    }
    self.loop = g_main_loop_new(NULL, FALSE);
    self.node = g_dbus_node_info_new_for_xml(kIntrospection, NULL);
    g_unix_signal_add(SIGTERM, on_signal, &self);
    g_unix_signal_add(SIGINT, on_signal, &self);

    if (self.want_window) {
        const TestWindowIdentity identity = {"org.gnome.Nautilus", "org.gnome.Nautilus",
                                             "org.gnome.Nautilus", "Files"};
        self.window =
            test_window_open(&identity, self.log, self.loop, on_window_mapped, &self, &error);
        if (self.window == NULL) {
            g_printerr("standin_file_manager: %s\n", error->message);
            return EXIT_FAILURE;
        }
    }
    const guint owner =
        g_bus_own_name(G_BUS_TYPE_SESSION, kBusName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                       on_bus_acquired, on_name_acquired, on_name_lost, &self, NULL);

    g_main_loop_run(self.loop);

    if (self.window != NULL && test_window_lost_connection(self.window)) {
        g_printerr("standin_file_manager: lost the X display\n");
        self.status = EXIT_FAILURE;
    }
    g_bus_unown_name(owner);
    test_window_close(self.window);
    g_dbus_node_info_unref(self.node);
    g_main_loop_unref(self.loop);
    event_log_close(self.log);
    return self.status;
}

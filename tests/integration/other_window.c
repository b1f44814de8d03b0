// Another application's window for the integration tests: something other than the file
// manager to put in front, logging every key it receives so a test can prove none was sent.
//
// Usage: other_window LOG [--class INSTANCE,CLASS] [--app-id ID] [--title TITLE]
// Defaults: WM_CLASS "other","Other", no application id, no title. LOG gets the lines of
// test_window.h, then "ready" once the window is mapped. SIGTERM or SIGINT ends it.
#include "event_log.h"
#include "test_window.h"

#include <glib-unix.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    EventLog* log;
    GMainLoop* loop;
} Other;

static gboolean on_mapped(gpointer data)
{
    Other* self = data;
    event_log_write(self->log, "ready");
    return G_SOURCE_REMOVE;
}

static gboolean on_signal(gpointer data)
{
    Other* self = data;
    g_main_loop_quit(self->loop);
    return G_SOURCE_CONTINUE;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        g_printerr("usage: %s LOG [--class INSTANCE,CLASS] [--app-id ID] [--title TITLE]\n",
                   argv[0]);
        return 2;
    }
    if (argc % 2 != 0) {
        g_printerr("other_window: option %s needs a value\n", argv[argc - 1]);
        return 2;
    }
    TestWindowIdentity identity = {"other", "Other", NULL, NULL};
    g_auto(GStrv) class_parts = NULL;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--class") == 0) {
            class_parts = g_strsplit(argv[i + 1], ",", 2);
            if (g_strv_length(class_parts) != 2) {
                g_printerr("other_window: --class needs INSTANCE,CLASS\n");
                return 2;
            }
            identity.instance = class_parts[0];
            identity.class_name = class_parts[1];
        } else if (strcmp(argv[i], "--app-id") == 0) {
            identity.app_id = argv[i + 1];
        } else if (strcmp(argv[i], "--title") == 0) {
            identity.title = argv[i + 1];
        } else {
            g_printerr("other_window: unknown option %s\n", argv[i]);
            return 2;
        }
    }

    g_autoptr(GError) error = NULL;
    Other self = {event_log_open(argv[1], &error), g_main_loop_new(NULL, FALSE)};
    if (self.log == NULL) {
        g_printerr("other_window: %s\n", error->message);
        return EXIT_FAILURE;
    }
    g_unix_signal_add(SIGTERM, on_signal, &self);
    g_unix_signal_add(SIGINT, on_signal, &self);
    TestWindow* window = test_window_open(&identity, self.log, self.loop, on_mapped, &self, &error);
    if (window == NULL) {
        g_printerr("other_window: %s\n", error->message);
        return EXIT_FAILURE;
    }

    g_main_loop_run(self.loop);

    const int status = test_window_lost_connection(window) ? EXIT_FAILURE : EXIT_SUCCESS;
    test_window_close(window);
    g_main_loop_unref(self.loop);
    event_log_close(self.log);
    return status;
}

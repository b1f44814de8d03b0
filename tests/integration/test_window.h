// A plain X window for the stand-in programs: it carries the identity properties the host
// reads (WM_CLASS, _NET_WM_NAME, _GTK_APPLICATION_ID), takes the keyboard focus when the
// window manager gives it, and logs the keys and focus changes it receives:
//   "window <id>", "mapped", "FocusIn", "FocusOut", "KeyPress F2", "KeyRelease F2 +Shift"
// Events are handled on the GLib main loop; a lost connection ends the loop.
#pragma once

#include "event_log.h"

#include <glib.h>
#include <stdint.h>

typedef struct TestWindow TestWindow;

typedef struct {
    const char* instance;   // WM_CLASS instance part
    const char* class_name; // WM_CLASS class part
    const char* app_id;     // _GTK_APPLICATION_ID, or NULL for none
    const char* title;      // WM_NAME and _NET_WM_NAME, or NULL for none
} TestWindowIdentity;

// Connects to DISPLAY and maps the window; `on_mapped` runs once the window manager has
// mapped it. `loop` is quit when the X connection breaks.
TestWindow* test_window_open(const TestWindowIdentity* identity, EventLog* log, GMainLoop* loop,
                             GSourceFunc on_mapped, gpointer user_data, GError** error);
uint32_t test_window_id(const TestWindow* window);
gboolean test_window_lost_connection(const TestWindow* window);
void test_window_close(TestWindow* window);

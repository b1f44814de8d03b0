// X window with a chosen identity that logs the keys it receives.
#include "test_window.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

struct TestWindow {
    xcb_connection_t* connection;
    xcb_key_symbols_t* symbols;
    xcb_window_t window;
    EventLog* log;
    GMainLoop* loop;
    GSourceFunc on_mapped;
    gpointer user_data;
    guint watch;
    gboolean mapped;
    gboolean lost;
};

enum { kInputHint = 1, kWmHintsFields = 9 };

static xcb_atom_t intern(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, (uint16_t)strlen(name), name), NULL);
    const xcb_atom_t atom = reply != NULL ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return atom;
}

static void set_property(TestWindow* self, xcb_atom_t property, xcb_atom_t type, uint8_t format,
                         uint32_t length, const void* data)
{
    xcb_change_property(self->connection, XCB_PROP_MODE_REPLACE, self->window, property, type,
                        format, length, data);
}

static void set_text(TestWindow* self, const char* property, const char* type, const char* text)
{
    set_property(self, intern(self->connection, property), intern(self->connection, type), 8,
                 (uint32_t)strlen(text), text);
}

static const char* key_name(xcb_keysym_t keysym, char* buffer, size_t size)
{
    if (keysym >= 0xffbe && keysym <= 0xffc9) { // F1 .. F12
        g_snprintf(buffer, size, "F%u", keysym - 0xffbe + 1);
        return buffer;
    }
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9')) {
        g_snprintf(buffer, size, "%c", (char)keysym);
        return buffer;
    }
    switch (keysym) {
    case 0xff0d:
        return "Return";
    case 0xff1b:
        return "Escape";
    case 0xff09:
        return "Tab";
    case 0x0020:
        return "space";
    case 0xffe1:
        return "Shift_L";
    case 0xffe3:
        return "Control_L";
    case 0xffe9:
        return "Alt_L";
    default:
        g_snprintf(buffer, size, "0x%04x", keysym);
        return buffer;
    }
}

// Held modifiers as " +Shift +Control ...", empty when none: a key press should carry none.
static void modifier_names(uint16_t state, char* buffer, size_t size)
{
    static const struct {
        uint16_t mask;
        const char* name;
    } kModifiers[] = {
        {XCB_MOD_MASK_SHIFT, "Shift"},     {XCB_MOD_MASK_LOCK, "Lock"},
        {XCB_MOD_MASK_CONTROL, "Control"}, {XCB_MOD_MASK_1, "Mod1"},
        {XCB_MOD_MASK_2, "Mod2"},          {XCB_MOD_MASK_3, "Mod3"},
        {XCB_MOD_MASK_4, "Mod4"},          {XCB_MOD_MASK_5, "Mod5"},
    };
    buffer[0] = '\0';
    for (size_t i = 0; i < G_N_ELEMENTS(kModifiers); ++i) {
        if ((state & kModifiers[i].mask) != 0) {
            g_strlcat(buffer, " +", size);
            g_strlcat(buffer, kModifiers[i].name, size);
        }
    }
}

static void log_key(TestWindow* self, const char* kind, const xcb_key_press_event_t* event)
{
    char name[16];
    char modifiers[64];
    const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(self->symbols, event->detail, 0);
    modifier_names(event->state, modifiers, sizeof modifiers);
    event_log_write(self->log, "%s %s%s", kind, key_name(keysym, name, sizeof name), modifiers);
}

static void handle(TestWindow* self, xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
        log_key(self, "KeyPress", (const xcb_key_press_event_t*)event);
        break;
    case XCB_KEY_RELEASE:
        log_key(self, "KeyRelease", (const xcb_key_press_event_t*)event);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
        const xcb_focus_in_event_t* focus = (const xcb_focus_in_event_t*)event;
        // Pointer-related notifications do not move the keyboard focus to or from us.
        if (focus->detail <= XCB_NOTIFY_DETAIL_NONLINEAR_VIRTUAL) {
            event_log_write(self->log, "%s",
                            (event->response_type & 0x7f) == XCB_FOCUS_IN ? "FocusIn" : "FocusOut");
        }
        break;
    }
    case XCB_MAP_NOTIFY:
        if (!self->mapped && ((const xcb_map_notify_event_t*)event)->window == self->window) {
            self->mapped = TRUE;
            event_log_write(self->log, "mapped");
            if (self->on_mapped != NULL) {
                self->on_mapped(self->user_data);
            }
        }
        break;
    case XCB_MAPPING_NOTIFY:
        xcb_refresh_keyboard_mapping(self->symbols, (xcb_mapping_notify_event_t*)event);
        break;
    default:
        break;
    }
}

// Events may already sit in xcb's queue (read during a reply), so drain until empty.
static gboolean dispatch(gint fd, GIOCondition condition, gpointer data)
{
    (void)fd;
    (void)condition;
    TestWindow* self = data;
    xcb_generic_event_t* event;
    while ((event = xcb_poll_for_event(self->connection)) != NULL) {
        handle(self, event);
        free(event);
    }
    if (xcb_connection_has_error(self->connection) != 0) {
        self->lost = TRUE;
        self->watch = 0;
        g_main_loop_quit(self->loop);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

static gboolean dispatch_queued(gpointer data)
{
    TestWindow* self = data;
    dispatch(-1, G_IO_IN, self);
    return G_SOURCE_REMOVE;
}

TestWindow* test_window_open(const TestWindowIdentity* identity, EventLog* log, GMainLoop* loop,
                             GSourceFunc on_mapped, gpointer user_data, GError** error)
{
    int screen_number = 0;
    xcb_connection_t* connection = xcb_connect(NULL, &screen_number);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "cannot connect to the X display");
        return NULL;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen_number; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_screen_t* screen = screens.data;

    TestWindow* self = g_new0(TestWindow, 1);
    self->connection = connection;
    self->symbols = xcb_key_symbols_alloc(connection);
    self->window = xcb_generate_id(connection);
    self->log = log;
    self->loop = loop;
    self->on_mapped = on_mapped;
    self->user_data = user_data;

    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, self->window, screen->root, 0, 0, 400, 300,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const size_t instance_length = strlen(identity->instance);
    const size_t class_length = strlen(identity->class_name);
    g_autofree char* wm_class = g_malloc(instance_length + class_length + 2);
    memcpy(wm_class, identity->instance, instance_length + 1);
    memcpy(wm_class + instance_length + 1, identity->class_name, class_length + 1);
    set_property(self, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                 (uint32_t)(instance_length + class_length + 2), wm_class);
    if (identity->title != NULL) {
        set_text(self, "WM_NAME", "UTF8_STRING", identity->title);
        set_text(self, "_NET_WM_NAME", "UTF8_STRING", identity->title);
    }
    if (identity->app_id != NULL) {
        set_text(self, "_GTK_APPLICATION_ID", "UTF8_STRING", identity->app_id);
    }
    // Without the input hint a window manager may decide the window takes no keyboard focus.
    const uint32_t hints[kWmHintsFields] = {kInputHint, 1};
    set_property(self, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, kWmHintsFields, hints);
    const uint32_t pid = (uint32_t)getpid();
    set_property(self, intern(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);

    xcb_map_window(connection, self->window);
    xcb_flush(connection);
    event_log_write(log, "window %u", self->window);

    self->watch = g_unix_fd_add(xcb_get_file_descriptor(connection), G_IO_IN | G_IO_HUP | G_IO_ERR,
                                dispatch, self);
    g_idle_add(dispatch_queued, self);
    return self;
}

uint32_t test_window_id(const TestWindow* window)
{
    return window->window;
}

gboolean test_window_lost_connection(const TestWindow* window)
{
    return window->lost;
}

void test_window_close(TestWindow* window)
{
    if (window == NULL) {
        return;
    }
    g_idle_remove_by_data(window);
    if (window->watch != 0) {
        g_source_remove(window->watch);
    }
    xcb_key_symbols_free(window->symbols);
    xcb_disconnect(window->connection);
    g_free(window);
}

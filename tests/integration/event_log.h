// The line log the stand-in programs write for tests: one line per event, each prefixed
// with CLOCK_MONOTONIC in microseconds, written with a single write() so readers never see
// half a line.
#pragma once

#include <glib.h>

typedef struct EventLog EventLog;

// Appends to `path`, creating it; NULL with `error` set when it cannot be opened.
EventLog* event_log_open(const char* path, GError** error);
void event_log_close(EventLog* log);

// "<microseconds> <formatted text>\n"
void event_log_write(EventLog* log, const char* format, ...) G_GNUC_PRINTF(2, 3);

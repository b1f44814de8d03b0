// Line log of the stand-in programs.
#include "event_log.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <string.h>
#include <unistd.h>

struct EventLog {
    int fd;
};

EventLog* event_log_open(const char* path, GError** error)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(code), "%s: %s", path,
                    g_strerror(code));
        return NULL;
    }
    EventLog* log = g_new0(EventLog, 1);
    log->fd = fd;
    return log;
}

void event_log_close(EventLog* log)
{
    if (log != NULL) {
        close(log->fd);
        g_free(log);
    }
}

void event_log_write(EventLog* log, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    g_autofree char* text = g_strdup_vprintf(format, args);
    va_end(args);

    // g_get_monotonic_time() reads CLOCK_MONOTONIC, the clock of std::chrono::steady_clock.
    g_autofree char* line =
        g_strdup_printf("%" G_GINT64_FORMAT " %s\n", g_get_monotonic_time(), text);
    const char* rest = line;
    size_t left = strlen(line);
    while (left > 0) {
        const ssize_t written = write(log->fd, rest, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        rest += written;
        left -= (size_t)written;
    }
}

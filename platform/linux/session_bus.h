// The session bus as the Linux services use it: one connection, opened on first use and
// kept, and synchronous method calls that do not start the service they ask.
#pragma once

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GError GError;
typedef struct _GVariant GVariant;

namespace tessary {

class SessionBus {
public:
    SessionBus() = default;
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // The connection; none while there is no session bus (then `error` says why, and the
    // next call tries again).
    GDBusConnection* connection(GError** error = nullptr);

private:
    GDBusConnection* m_connection = nullptr;
};

// Calls `method` and waits at most `timeoutMs` for a reply of `replyType` (such as "(b)").
// The bus starts the service that `name` stands for only when `startsService` is true.
// Returns the reply, or none with `error` set when one is given.
GVariant* callSync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                   const char* method, GVariant* parameters, const char* replyType, int timeoutMs,
                   GError** error = nullptr, bool startsService = false);

} // namespace tessary

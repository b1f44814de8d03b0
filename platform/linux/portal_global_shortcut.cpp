// The portal's request and session objects, answered through Response signals.
#include "platform/linux/portal_global_shortcut.h"

#include "shared/logger.h"
#include "platform/linux/session_bus.h"

#include <exception>
#include <memory>
#include <string_view>
#include <utility>

#include <gio/gio.h>
#include <unistd.h>

namespace tessary {
namespace {

const Logger kLog("hotkey");

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kShortcutId = "new-file";
constexpr int kVersionTimeoutMs = 2000;

std::string newToken()
{
    static unsigned counter = 0;
    return "tessary" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

// The trigger the portal reports for Tessary's shortcut in a list of shortcuts (a(sa{sv}));
// empty when it bound none.
std::string boundTrigger(GVariant* shortcuts)
{
    GVariantIter iter;
    g_variant_iter_init(&iter, shortcuts);
    const gchar* id = nullptr;
    GVariant* properties = nullptr;
    std::string trigger;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
        const gchar* description = nullptr;
        if (std::string_view(id) == kShortcutId &&
            g_variant_lookup(properties, "trigger_description", "&s", &description)) {
            trigger = description;
        }
        g_variant_unref(properties);
    }
    return trigger;
}

} // namespace

PortalGlobalShortcut::PortalGlobalShortcut(int answerTimeoutMs) : m_answerTimeoutMs(answerTimeoutMs)
{
}

PortalGlobalShortcut::~PortalGlobalShortcut()
{
    remove();
    for (const unsigned subscription : {m_subscription, m_changeSubscription}) {
        if (subscription != 0) {
            g_dbus_connection_signal_unsubscribe(m_bus.connection(), subscription);
        }
    }
}

bool PortalGlobalShortcut::offered()
{
    SessionBus bus;
    if (bus.connection() == nullptr) {
        return false;
    }
    // The portal may be started for the question.
    g_autoptr(GVariant) reply = callSync(
        bus.connection(), kPortalName, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kInterface, "version"), "(v)", kVersionTimeoutMs, nullptr, true);
    return reply != nullptr;
}

std::string PortalGlobalShortcut::trigger(const ShortcutKeys& keys)
{
    std::string text;
    for (const auto& [on, name] :
         {std::pair{keys.control, "CTRL+"}, std::pair{keys.alt, "ALT+"},
          std::pair{keys.shift, "SHIFT+"}, std::pair{keys.super, "LOGO+"}}) {
        if (on) {
            text += name;
        }
    }
    return text + keys.keyName;
}

void PortalGlobalShortcut::request(const char* method, GVariant* parameters,
                                   const std::string& token,
                                   void (PortalGlobalShortcut::*answered)(unsigned, GVariant*))
{
    GDBusConnection* bus = m_bus.connection();
    // The request object's path is known before the call, so its answer cannot be missed.
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char& c : sender) {
        c = c == '.' ? '_' : c;
    }
    const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    m_answered = answered;
    m_responseSubscription = g_dbus_connection_signal_subscribe(
        bus, kPortalName, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* signal, gpointer data) {
            auto* self = static_cast<PortalGlobalShortcut*>(data);
            unsigned response = 2;
            g_autoptr(GVariant) results = nullptr;
            g_variant_get(signal, "(u@a{sv})", &response, &results);
            const auto next = self->m_answered;
            self->stopWaiting();
            (self->*next)(response, results);
        },
        this, nullptr);
    struct Call {
        PortalGlobalShortcut* self;
        std::string method;
    };
    g_dbus_connection_call(
        bus, kPortalName, kPortalPath, kInterface, method, parameters, G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, m_answerTimeoutMs, m_cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            g_autoptr(GError) error = nullptr;
            g_autoptr(GVariant) reply =
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            // A cancelled call belongs to a registration that has ended, maybe with its object.
            if (reply == nullptr && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
                kLog.error("The shortcut portal refused %{public}s: %{public}s", call->method,
                           error->message);
                call->self->fail(kShortcutNotAnswered);
            }
        },
        new Call{this, method});
}

void PortalGlobalShortcut::add(const ShortcutKeys& keys, Done done)
{
    GDBusConnection* bus = m_bus.connection();
    if (bus == nullptr) {
        done({ShortcutRegistration::Outcome::failed, kShortcutUnavailable});
        return;
    }
    remove();
    if (m_subscription == 0) {
        // In the default context: presses arrive in the host's event loop.
        m_subscription = g_dbus_connection_signal_subscribe(
            bus, kPortalName, kInterface, "Activated", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* signal,
               gpointer self) { static_cast<PortalGlobalShortcut*>(self)->activated(signal); },
            this, nullptr);
        m_changeSubscription = g_dbus_connection_signal_subscribe(
            bus, kPortalName, kInterface, "ShortcutsChanged", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* signal, gpointer self) {
                static_cast<PortalGlobalShortcut*>(self)->shortcutsChanged(signal);
            },
            this, nullptr);
    }
    m_done = std::move(done);
    m_preferred = trigger(keys);
    m_cancellable = g_cancellable_new();
    // One deadline for the whole registration: both requests, and the user's answer.
    m_timeout = g_timeout_add(
        static_cast<guint>(m_answerTimeoutMs),
        [](gpointer data) {
            auto* self = static_cast<PortalGlobalShortcut*>(data);
            self->m_timeout = 0;
            self->fail(kShortcutNotAnswered);
            return G_SOURCE_REMOVE;
        },
        this);

    const std::string sessionToken = newToken();
    const std::string createToken = newToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token",
                          g_variant_new_string(createToken.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(sessionToken.c_str()));
    request("CreateSession", g_variant_new("(a{sv})", &options), createToken,
            &PortalGlobalShortcut::sessionCreated);
}

void PortalGlobalShortcut::sessionCreated(unsigned response, GVariant* results)
{
    const gchar* session = nullptr;
    if (response == 0 && (g_variant_lookup(results, "session_handle", "&s", &session) ||
                          g_variant_lookup(results, "session_handle", "&o", &session))) {
        m_session = session;
    }
    if (m_session.empty()) {
        fail(response != 0 ? static_cast<int>(response) : kShortcutNotAnswered);
        return;
    }
    const std::string bindToken = newToken();
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string("Create a file from the default template"));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(m_preferred.c_str()));
    g_variant_builder_add(&shortcuts, "(sa{sv})", kShortcutId, &properties);
    GVariantBuilder bindOptions;
    g_variant_builder_init(&bindOptions, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&bindOptions, "{sv}", "handle_token",
                          g_variant_new_string(bindToken.c_str()));
    request("BindShortcuts",
            g_variant_new("(oa(sa{sv})sa{sv})", m_session.c_str(), &shortcuts, "", &bindOptions),
            bindToken, &PortalGlobalShortcut::shortcutsBound);
}

void PortalGlobalShortcut::shortcutsBound(unsigned response, GVariant* results)
{
    g_autoptr(GVariant) shortcuts =
        results != nullptr
            ? g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"))
            : nullptr;
    const std::string bound = shortcuts != nullptr ? boundTrigger(shortcuts) : std::string();
    if (response != 0 || bound.empty()) {
        // A portal that binds no trigger (the user declined, or none was free) leaves a
        // shortcut no key reaches.
        fail(response != 0 ? static_cast<int>(response) : kShortcutNotBound);
        return;
    }
    if (m_timeout != 0) {
        g_source_remove(m_timeout);
        m_timeout = 0;
    }
    g_clear_object(&m_cancellable);
    finish({ShortcutRegistration::Outcome::registered, 0, bound});
}

void PortalGlobalShortcut::finish(const ShortcutRegistration& result)
{
    if (Done done = std::exchange(m_done, nullptr)) {
        done(result);
    }
}

void PortalGlobalShortcut::fail(int status)
{
    Done done = std::exchange(m_done, nullptr);
    remove();
    if (done) {
        done({ShortcutRegistration::Outcome::failed, status});
    }
}

void PortalGlobalShortcut::stopWaiting()
{
    if (m_responseSubscription != 0) {
        g_dbus_connection_signal_unsubscribe(m_bus.connection(), m_responseSubscription);
        m_responseSubscription = 0;
    }
}

void PortalGlobalShortcut::remove()
{
    stopWaiting();
    if (m_timeout != 0) {
        g_source_remove(m_timeout);
        m_timeout = 0;
    }
    if (m_cancellable != nullptr) {
        g_cancellable_cancel(m_cancellable);
        g_clear_object(&m_cancellable);
    }
    m_done = nullptr;
    if (m_session.empty()) {
        return;
    }
    g_dbus_connection_call(m_bus.connection(), kPortalName, m_session.c_str(),
                           "org.freedesktop.portal.Session", "Close", nullptr, nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    m_session.clear();
}

void PortalGlobalShortcut::activated(GVariant* parameters)
{
    const gchar* session = nullptr;
    const gchar* id = nullptr;
    g_variant_get(parameters, "(&o&st@a{sv})", &session, &id, nullptr, nullptr);
    if (m_session != session || std::string_view(id) != kShortcutId || !onPress) {
        return;
    }
    try {
        onPress();
    } catch (const std::exception& error) {
        kLog.error("Shortcut press failed: %{public}s", error.what());
    }
}

void PortalGlobalShortcut::shortcutsChanged(GVariant* parameters)
{
    const gchar* session = nullptr;
    g_autoptr(GVariant) shortcuts = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv}))", &session, &shortcuts);
    if (m_session != session) {
        return;
    }
    const std::string bound = boundTrigger(shortcuts);
    if (bound.empty()) {
        kLog.error("The desktop no longer binds a key to the shortcut");
    } else {
        kLog.info("The desktop binds the shortcut to %{public}s", bound);
    }
    if (onChange) {
        onChange(bound);
    }
}

} // namespace tessary

// The portal's request and session objects, answered through Response signals.
#include "platform/linux/portal_global_shortcut.h"

#include "shared/logger.h"
#include "platform/linux/session_bus.h"

#include <exception>

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

struct Pending {
    bool done = false;
    unsigned response = 2;
    GVariant* results = nullptr;
};

} // namespace

PortalGlobalShortcut::PortalGlobalShortcut() = default;

PortalGlobalShortcut::~PortalGlobalShortcut()
{
    remove();
    if (m_subscription != 0) {
        g_dbus_connection_signal_unsubscribe(m_bus.connection(), m_subscription);
    }
}

bool PortalGlobalShortcut::offered()
{
    SessionBus bus;
    if (bus.connection() == nullptr) {
        return false;
    }
    // The portal may be started for the question.
    GVariant* reply = callSync(
        bus.connection(), kPortalName, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kInterface, "version"), "(v)", kVersionTimeoutMs, nullptr, true);
    if (reply == nullptr) {
        return false;
    }
    g_variant_unref(reply);
    return true;
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

std::optional<PortalGlobalShortcut::Answer>
PortalGlobalShortcut::request(const char* method, GVariant* parameters, const std::string& token)
{
    GDBusConnection* bus = m_bus.connection();
    // The request object's path is known before the call, so its answer cannot be missed.
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char& c : sender) {
        c = c == '.' ? '_' : c;
    }
    const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token;

    // The answer is awaited in a context of its own, so nothing else of the host runs
    // meanwhile.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    Pending pending;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, kPortalName, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* signal, gpointer data) {
            auto* answer = static_cast<Pending*>(data);
            g_variant_get(signal, "(u@a{sv})", &answer->response, &answer->results);
            answer->done = true;
        },
        &pending, nullptr);
    GError* error = nullptr;
    GVariant* reply = callSync(bus, kPortalName, kPortalPath, kInterface, method, parameters, "(o)",
                               kAnswerTimeoutMs, &error, true);
    if (reply != nullptr) {
        g_variant_unref(reply);
        bool timedOut = false;
        GSource* timeout = g_timeout_source_new(kAnswerTimeoutMs);
        g_source_set_callback(
            timeout,
            [](gpointer flag) {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &timedOut, nullptr);
        g_source_attach(timeout, context);
        while (!pending.done && !timedOut) {
            g_main_context_iteration(context, TRUE);
        }
        g_source_destroy(timeout);
        g_source_unref(timeout);
    } else {
        kLog.error("The shortcut portal refused %{public}s: %{public}s", method, error->message);
        g_error_free(error);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    if (!pending.done) {
        return std::nullopt;
    }
    return Answer{pending.response, pending.results};
}

ShortcutRegistration PortalGlobalShortcut::add(const ShortcutKeys& keys)
{
    GDBusConnection* bus = m_bus.connection();
    if (bus == nullptr) {
        return {ShortcutRegistration::Outcome::failed, kShortcutUnavailable};
    }
    if (m_subscription == 0) {
        // In the default context: presses arrive in the host's event loop.
        m_subscription = g_dbus_connection_signal_subscribe(
            bus, kPortalName, kInterface, "Activated", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* signal,
               gpointer self) { static_cast<PortalGlobalShortcut*>(self)->activated(signal); },
            this, nullptr);
    }

    const std::string sessionToken = newToken();
    const std::string createToken = newToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token",
                          g_variant_new_string(createToken.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(sessionToken.c_str()));
    const auto created = request("CreateSession", g_variant_new("(a{sv})", &options), createToken);
    if (!created || created->response != 0) {
        if (created && created->results != nullptr) {
            g_variant_unref(created->results);
        }
        return {ShortcutRegistration::Outcome::failed,
                created ? static_cast<int>(created->response) : kShortcutNotAnswered};
    }
    const gchar* session = nullptr;
    if (g_variant_lookup(created->results, "session_handle", "&s", &session) ||
        g_variant_lookup(created->results, "session_handle", "&o", &session)) {
        m_session = session;
    }
    g_variant_unref(created->results);
    if (m_session.empty()) {
        return {ShortcutRegistration::Outcome::failed, kShortcutNotAnswered};
    }

    const std::string bindToken = newToken();
    const std::string preferred = trigger(keys);
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string("Create a file from the default template"));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(preferred.c_str()));
    g_variant_builder_add(&shortcuts, "(sa{sv})", kShortcutId, &properties);
    GVariantBuilder bindOptions;
    g_variant_builder_init(&bindOptions, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&bindOptions, "{sv}", "handle_token",
                          g_variant_new_string(bindToken.c_str()));
    const auto bound = request(
        "BindShortcuts",
        g_variant_new("(oa(sa{sv})sa{sv})", m_session.c_str(), &shortcuts, "", &bindOptions),
        bindToken);
    if (bound && bound->results != nullptr) {
        g_variant_unref(bound->results);
    }
    if (!bound || bound->response != 0) {
        remove();
        return {ShortcutRegistration::Outcome::failed,
                bound ? static_cast<int>(bound->response) : kShortcutNotAnswered};
    }
    return {ShortcutRegistration::Outcome::registered, 0};
}

void PortalGlobalShortcut::remove()
{
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

} // namespace tessary

// Registration with the session's shortcut service, and the press road into request
// handling.
#include "shortcut/hot_key.h"

#include "shared/localization.h"
#include "shared/logger.h"
#include "shortcut/shortcut_keys.h"

namespace tessary {
namespace {

const Logger kLog("hotkey");

// A key the table does not know cannot be registered.
constexpr int kUnknownKey = -3;

} // namespace

std::optional<ShortcutKeys> shortcutKeys(std::uint32_t modifiers, std::uint32_t keyCode)
{
    const ShortcutKey* key = keyForCode(keyCode);
    const auto accelerator = gtkAccelerator(modifiers, keyCode);
    if (key == nullptr || !accelerator) {
        return std::nullopt;
    }
    ShortcutKeys keys;
    keys.keysym = key->keysym;
    keys.xKeyCode = key->xKeyCode;
    keys.keyName = std::string(key->name);
    keys.accelerator = *accelerator;
    keys.control = (modifiers & kControlModifier) != 0;
    keys.alt = (modifiers & kAltModifier) != 0;
    keys.shift = (modifiers & kShiftModifier) != 0;
    keys.super = (modifiers & kSuperModifier) != 0;
    return keys;
}

HotKey::RegistrationError::RegistrationError(Case kind, int status, const std::string& description)
    : std::runtime_error(description), m_case(kind), m_status(status)
{
}

HotKey::RegistrationError HotKey::RegistrationError::inUse(const std::string& label)
{
    return {Case::inUse, kShortcutTaken,
            tr("%@ is already used by another app. Choose a different shortcut.", label)};
}

HotKey::RegistrationError HotKey::RegistrationError::failed(int status)
{
    return {Case::failed, status, tr("The shortcut could not be registered (error %d).", status)};
}

HotKey::RegistrationError HotKey::RegistrationError::notBound()
{
    return {Case::failed, kShortcutNotBound,
            tr("The desktop did not bind any keys to the shortcut. Choose them in its keyboard "
               "settings, or choose a different shortcut.")};
}

HotKey::HotKey(GlobalShortcut& service, FrontFolderQuery& frontFolder, RequestHandler& requests,
               RequestQueue& queue, UserPrompts& prompts)
    : m_service(service), m_frontFolder(frontFolder), m_requests(requests), m_queue(queue),
      m_prompts(prompts)
{
}

HotKey::~HotKey()
{
    if (m_state == State::registered || m_state == State::registering) {
        m_service.remove();
    }
}

void HotKey::registerShortcut(const SharedSettings& settings)
{
    const Wanted wanted{settings.shortcutEnabled, settings.shortcutModifiers,
                        settings.shortcutKeyCode};
    // Asking the service again could show the desktop's dialog again.
    if (m_wanted == wanted && (m_state == State::registered || m_state == State::registering ||
                               (m_state == State::off && !wanted.enabled))) {
        return;
    }
    m_wanted = wanted;
    // Whatever the settings say: turning the shortcut off or changing it removes the old one.
    m_service.remove();
    m_state = State::off;
    m_failure.reset();
    m_trigger.clear();
    if (!settings.shortcutEnabled) {
        return;
    }
    if (!m_handlerInstalled) {
        m_service.onPress = [this] {
            pressed();
        };
        m_service.onChange = [this](const std::string& trigger) {
            changed(trigger);
        };
        m_handlerInstalled = true;
    }
    const auto keys = shortcutKeys(settings.shortcutModifiers, settings.shortcutKeyCode);
    m_state = State::registering;
    if (!keys) {
        answered({ShortcutRegistration::Outcome::failed, kUnknownKey, {}}, settings.shortcutLabel);
    } else {
        m_adding = true;
        m_service.add(*keys,
                      [this, label = settings.shortcutLabel](const ShortcutRegistration& result) {
                          answered(result, label);
                          if (!m_adding && onRegistrationChanged) {
                              onRegistrationChanged();
                          }
                      });
        m_adding = false;
    }
    if (m_failure) {
        throw *m_failure;
    }
}

void HotKey::answered(const ShortcutRegistration& result, const std::string& label)
{
    switch (result.outcome) {
    case ShortcutRegistration::Outcome::registered:
        m_state = State::registered;
        m_trigger = result.trigger;
        kLog.info("Shortcut %{public}s registered", label);
        if (!result.trigger.empty()) {
            kLog.info("The desktop binds the shortcut to %{public}s", result.trigger);
        }
        return;
    case ShortcutRegistration::Outcome::inUse:
        m_failure = RegistrationError::inUse(label);
        break;
    case ShortcutRegistration::Outcome::failed:
        m_failure = result.status == kShortcutNotBound ? RegistrationError::notBound()
                                                       : RegistrationError::failed(result.status);
        break;
    }
    m_state = State::failed;
    kLog.error("RegisterEventHotKey failed: %d", result.status);
}

void HotKey::changed(const std::string& trigger)
{
    if (m_state != State::registered && !(m_state == State::failed && m_trigger == "")) {
        return;
    }
    m_trigger = trigger;
    m_state = trigger.empty() ? State::failed : State::registered;
    if (trigger.empty()) {
        m_failure = RegistrationError::notBound();
    } else {
        m_failure.reset();
    }
    if (onRegistrationChanged) {
        onRegistrationChanged();
    }
}

void HotKey::pressed()
{
    m_queue.submit([this] { handlePress(); });
}

void HotKey::handlePress()
{
    // The desktop counts as the file manager's: a press there creates on the Desktop when
    // no file-manager window is open, as in the file manager's front window otherwise.
    const auto front = m_frontFolder.frontmostApplication();
    if (!front || (!m_frontFolder.isFileManager(*front) && !front->desktop)) {
        kLog.info("Shortcut pressed while %{public}s is in front; ignored (Finder only)",
                  front && !front->name.empty() ? front->name : std::string("another app"));
        return;
    }
    const SharedSettings settings = SharedSettings::load();
    const auto index = settings.defaultTemplateIndex();
    if (!index) {
        return;
    }
    std::string fileManager;
    const auto folder = m_frontFolder.frontFolder(&fileManager, &front);
    if (const auto* error = std::get_if<FrontFolderQuery::QueryError>(&folder)) {
        kLog.error("Could not get Finder's folder: %{public}s", error->what());
        if (error->kind() == FrontFolderQuery::QueryError::Case::notAFolder) {
            m_prompts.beep();
        } else {
            m_prompts.showAlert(tr("Couldn't find the folder that %@ shows", error->fileManager()),
                                error->what());
        }
        return;
    }
    m_requests.performCreate(CreateRequest{std::get<std::filesystem::path>(folder).string(),
                                           static_cast<std::int64_t>(*index)},
                             true, fileManager);
}

} // namespace tessary

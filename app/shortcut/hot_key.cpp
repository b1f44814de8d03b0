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

HotKey::HotKey(GlobalShortcut& service, FrontFolderQuery& frontFolder, RequestHandler& requests,
               RequestQueue& queue, UserPrompts& prompts)
    : m_service(service), m_frontFolder(frontFolder), m_requests(requests), m_queue(queue),
      m_prompts(prompts)
{
}

void HotKey::registerShortcut(const SharedSettings& settings)
{
    // Whatever the settings say: turning the shortcut off or changing it removes the old one.
    m_service.remove();
    m_registered = false;
    if (!settings.shortcutEnabled) {
        return;
    }
    if (!m_handlerInstalled) {
        m_service.onPress = [this] {
            pressed();
        };
        m_handlerInstalled = true;
    }
    const auto keys = shortcutKeys(settings.shortcutModifiers, settings.shortcutKeyCode);
    const ShortcutRegistration result =
        keys ? m_service.add(*keys)
             : ShortcutRegistration{ShortcutRegistration::Outcome::failed, kUnknownKey};
    switch (result.outcome) {
    case ShortcutRegistration::Outcome::registered:
        m_registered = true;
        kLog.info("Shortcut %{public}s registered", settings.shortcutLabel);
        return;
    case ShortcutRegistration::Outcome::inUse:
        kLog.error("RegisterEventHotKey failed: %d", result.status);
        throw RegistrationError::inUse(settings.shortcutLabel);
    case ShortcutRegistration::Outcome::failed:
        break;
    }
    kLog.error("RegisterEventHotKey failed: %d", result.status);
    throw RegistrationError::failed(result.status);
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
    if (!front || (front->id != kFileManagerId && !front->desktop)) {
        kLog.info("Shortcut pressed while %{public}s is in front; ignored (Finder only)",
                  front && !front->name.empty() ? front->name : std::string("another app"));
        return;
    }
    const SharedSettings settings = SharedSettings::load();
    const auto index = settings.defaultTemplateIndex();
    if (!index) {
        return;
    }
    const auto folder = m_frontFolder.frontFolder();
    if (const auto* error = std::get_if<FrontFolderQuery::QueryError>(&folder)) {
        kLog.error("Could not get Finder's folder: %{public}s", error->what());
        if (error->kind() == FrontFolderQuery::QueryError::Case::notAFolder) {
            m_prompts.beep();
        } else {
            m_prompts.showAlert(tr("Couldn't find the folder that Files shows"), error->what());
        }
        return;
    }
    m_requests.performCreate(CreateRequest{std::get<std::filesystem::path>(folder).string(),
                                           static_cast<std::int64_t>(*index)});
}

} // namespace tessary

// Load, change, save, publish.
#include "settings/settings_store.h"

#include <algorithm>

namespace tessary {

SettingsStore::SettingsStore(QObject* parent) : QObject(parent), m_settings(SharedSettings::load())
{
}

void SettingsStore::setSettings(SharedSettings settings)
{
    m_settings = std::move(settings);
    emit settingsChanged();
}

void SettingsStore::update(const std::function<void(SharedSettings&)>& change)
{
    SharedSettings fresh = SharedSettings::load();
    change(fresh);
    const std::error_code error = fresh.save();
    if (error != m_saveError) {
        m_saveError = error;
        emit saveErrorChanged();
    }
    setSettings(std::move(fresh));
}

FileTemplate SettingsStore::templateWithID(const Uuid& id) const
{
    const auto& templates = m_settings.templates;
    const auto found = std::find_if(templates.begin(), templates.end(),
                                    [&](const FileTemplate& t) { return t.id == id; });
    return found != templates.end() ? *found : FileTemplate{id, {}, {}, {}, {}};
}

void SettingsStore::replaceTemplate(const FileTemplate& fileTemplate, const Uuid& id)
{
    update([&](SharedSettings& settings) {
        auto& templates = settings.templates;
        const auto found = std::find_if(templates.begin(), templates.end(),
                                        [&](const FileTemplate& t) { return t.id == id; });
        if (found != templates.end()) {
            *found = fileTemplate;
        }
    });
}

} // namespace tessary

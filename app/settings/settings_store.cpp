// Load, change, save, publish.
#include "settings/settings_store.h"

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
    const auto index = indexOfTemplate(m_settings.templates, id);
    return index ? m_settings.templates[*index] : FileTemplate{id, {}, {}, {}, {}};
}

void SettingsStore::replaceTemplate(const FileTemplate& fileTemplate, const Uuid& id)
{
    update([&](SharedSettings& settings) {
        if (const auto index = indexOfTemplate(settings.templates, id)) {
            settings.templates[*index] = fileTemplate;
        }
    });
}

} // namespace tessary

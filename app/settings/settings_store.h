// The settings window's observable copy of the shared settings document. Every change is
// applied to a freshly loaded document, saved at once and then published, so a change made
// elsewhere (the disk grant) is never overwritten with an older copy.
#pragma once

// moc need not read the model's headers, which use C++20 library headers it cannot parse.
#ifndef Q_MOC_RUN
#include "shared/file_template.h"
#include "shared/shared_settings.h"
#endif

#include <QObject>

#include <functional>
#include <system_error>

namespace tessary {

class SettingsStore : public QObject {
    Q_OBJECT

public:
    // Starts with the stored document.
    explicit SettingsStore(QObject* parent = nullptr);

    const SharedSettings& settings() const { return m_settings; }
    // Replaces the copy and publishes it without saving (a refresh from the stored document).
    void setSettings(SharedSettings settings);
    void reload() { setSettings(SharedSettings::load()); }

    // Loads the document afresh, applies `change`, saves and publishes. A failed save is
    // kept in saveError() and announced; the changed copy is published all the same.
    void update(const std::function<void(SharedSettings&)>& change);
    // The template with `id` in the current copy, or an empty one with that id.
    FileTemplate templateWithID(const Uuid& id) const;
    // Replaces the template with `id` in a freshly loaded document; saves even when none has it.
    void replaceTemplate(const FileTemplate& fileTemplate, const Uuid& id);

    // The last save's failure; empty after a save that worked.
    std::error_code saveError() const { return m_saveError; }

signals:
    void settingsChanged();
    void saveErrorChanged();

private:
    SharedSettings m_settings;
    std::error_code m_saveError;
};

} // namespace tessary

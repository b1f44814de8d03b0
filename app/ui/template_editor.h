// The editor beside the template list: label, file name, extension and contents of one
// template, each edit saved through the store as it is typed, with the two warnings.
#pragma once

#include "settings/settings_store.h"
#include "ui/shown_text.h"

#include <QWidget>

#include <limits>

class QLineEdit;
class QPlainTextEdit;

namespace tessary {

class ErrorLabel;

class TemplateEditor : public QWidget {
public:
    TemplateEditor(SettingsStore& store, QWidget* parent = nullptr);

    // Edits the template with `id` from now on.
    void setTemplateID(const Uuid& id);

private:
    void showTemplate();
    void write(const std::function<void(FileTemplate&)>& change);
    void contentsEdited();

    SettingsStore& m_store;
    Uuid m_id;
    QLineEdit* m_name;
    QLineEdit* m_baseName;
    QLineEdit* m_extension;
    QPlainTextEdit* m_contents;
    // The stored contents the box shows; an edit changes only what the user changed.
    ShownText m_shownContents;
    Uuid m_shownID;
    bool m_showingContents = false;
    // Where the box's changes since the last edit began.
    std::size_t m_editFrom = std::numeric_limits<std::size_t>::max();
    ErrorLabel* m_labelWarning;
    ErrorLabel* m_fileNameWarning;
};

} // namespace tessary

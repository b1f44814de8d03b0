// The editor's form and its binding to the store.
#include "ui/template_editor.h"

#include "ui/form_parts.h"
#include "shared/localization.h"
#include "settings/template_validation.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>
#include <utility>
#include <QVBoxLayout>

namespace tessary {
namespace {

// Only a text that differs is set, so the cursor stays where the user is typing.
void setIfDifferent(QLineEdit* field, const std::string& text)
{
    if (field->text() != toQt(text)) {
        field->setText(toQt(text));
    }
}

// Tab types a tab, as Makefiles and tab-separated files need; Ctrl+Tab and Ctrl+Shift+Tab
// move the focus on, as in GNOME's text views.
class ContentsEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
        if (tab && event->modifiers().testFlag(Qt::ControlModifier)) {
            const bool back =
                event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
            QWidget::focusNextPrevChild(!back); // the box itself keeps the focus on Tab
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

} // namespace

TemplateEditor::TemplateEditor(SettingsStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_name(new QLineEdit(this)), m_baseName(new QLineEdit(this)),
      m_extension(new QLineEdit(this)), m_contents(new ContentsEdit(this)),
      m_labelWarning(new ErrorLabel(this)), m_fileNameWarning(new ErrorLabel(this))
{
    m_name->setPlaceholderText(toQt(tessary::tr("Text File")));
    m_baseName->setPlaceholderText(QStringLiteral("untitled"));
    m_extension->setPlaceholderText(QStringLiteral("txt"));
    m_contents->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_contents->setMinimumHeight(140);
    m_contents->setTabChangesFocus(false);
    m_contents->setTabStopDistance(QFontMetricsF(m_contents->font()).horizontalAdvance(' ') * 4);
    m_contents->setAccessibleName(toQt(tessary::tr("Contents")));
    m_contents->setAccessibleDescription(
        toQt(tessary::tr("Tab types a tab; Ctrl+Tab and Ctrl+Shift+Tab leave the box.")));

    auto* fields = new QFormLayout;
    fields->addRow(toQt(tessary::tr("Menu label")), m_name);
    fields->addRow(toQt(tessary::tr("File name")), m_baseName);
    fields->addRow(toQt(tessary::tr("Extension")), m_extension);
    auto* contents = sectionBox(tessary::tr("Contents"), this);
    contents->layout()->addWidget(m_contents);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(fields);
    layout->addWidget(
        captionLabel(tessary::tr("Menu labels use title case, like “Text File”. Leave the "
                                 "extension empty for a file without one. Numbers are added "
                                 "on collisions: untitled-2.txt."),
                     this));
    layout->addWidget(m_labelWarning);
    layout->addWidget(m_fileNameWarning);
    layout->addWidget(contents, 1);

    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
        write([&](FileTemplate& t) { t.name = text.toStdString(); });
    });
    connect(m_baseName, &QLineEdit::textEdited, this, [this](const QString& text) {
        write([&](FileTemplate& t) { t.baseName = text.toStdString(); });
    });
    connect(m_extension, &QLineEdit::textEdited, this, [this](const QString& text) {
        write([&](FileTemplate& t) { t.fileExtension = text.toStdString(); });
    });
    connect(m_contents->document(), &QTextDocument::contentsChange, this,
            [this](int from, int, int) {
                m_editFrom = std::min(m_editFrom, static_cast<std::size_t>(std::max(from, 0)));
            });
    connect(m_contents, &QPlainTextEdit::textChanged, this, &TemplateEditor::contentsEdited);
    connect(&m_store, &SettingsStore::settingsChanged, this, &TemplateEditor::showTemplate);
}

void TemplateEditor::setTemplateID(const Uuid& id)
{
    m_id = id;
    showTemplate();
}

void TemplateEditor::showTemplate()
{
    const FileTemplate current = m_store.templateWithID(m_id);
    setIfDifferent(m_name, current.name);
    setIfDifferent(m_baseName, current.baseName);
    setIfDifferent(m_extension, current.fileExtension);
    // The box is filled afresh only when the stored contents differ from what it shows.
    if (m_shownID != m_id || current.contents != m_shownContents.stored()) {
        m_shownID = m_id;
        m_shownContents = ShownText(current.contents);
        if (m_contents->toPlainText() != m_shownContents.shown()) {
            m_showingContents = true;
            m_contents->setPlainText(m_shownContents.shown());
            m_showingContents = false;
        }
    }
    m_labelWarning->setMessage(labelWarning(current));
    m_fileNameWarning->setMessage(fileNameWarning(current));
}

void TemplateEditor::contentsEdited()
{
    const std::size_t from = std::exchange(m_editFrom, std::numeric_limits<std::size_t>::max());
    if (m_showingContents) {
        return;
    }
    const std::string before = m_shownContents.stored();
    m_shownContents.edit(m_contents->toPlainText(), from);
    if (m_shownContents.stored() != before) {
        write([&](FileTemplate& t) { t.contents = m_shownContents.stored(); });
    }
}

void TemplateEditor::write(const std::function<void(FileTemplate&)>& change)
{
    FileTemplate edited = m_store.templateWithID(m_id);
    change(edited);
    m_store.replaceTemplate(edited, m_id);
}

} // namespace tessary

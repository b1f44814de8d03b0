// The Setup page's steps, actions and polling.
#include "ui/setup_page.h"

#include "creation/disk_access.h"
#include "ui/form_parts.h"
#include "shared/localization.h"
#include "settings/setup_guide.h"
#include "ui/symbol_icon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {
namespace {

constexpr int kPollMilliseconds = 2000;

// A step's headline, read with the value "Done" or "Not done".
ValueLabel* stepTitle(const std::string& text, QWidget* parent)
{
    auto* title = new ValueLabel(parent);
    title->setText(toQt(text));
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    return title;
}

void setStepDone(ValueLabel* title, QLabel* icon, bool done)
{
    icon->setPixmap(symbolIcon(done ? "checkmark.circle.fill" : "circle",
                               done ? QColor(0x26, 0xa2, 0x69) : secondaryColour(icon))
                        .pixmap(16, 16));
    title->setAccessibleValue(toQt(done ? tessary::tr("Done") : tessary::tr("Not done")));
}

QLabel* detailLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SetupPage::SetupPage(SettingsStore& store, DiskAccess& diskAccess, FileManagerExtension& extension,
                     const FileManagerExtensionState& known,
                     std::function<void()> restartFileManager, QWidget* parent)
    : QWidget(parent), m_store(store), m_diskAccess(diskAccess), m_extension(extension),
      m_extensionIcon(new QLabel(this)),
      m_extensionTitle(stepTitle(tessary::tr("Turn on the Files extension"), this)),
      m_extensionDetail(detailLabel(this)),
      m_restart(new QPushButton(toQt(tessary::tr("Restart Files…")), this)),
      m_accessIcon(new QLabel(this)),
      m_accessTitle(stepTitle(tessary::tr("Allow access to your disk"), this)),
      m_accessDetail(detailLabel(this)),
      m_grant(new QPushButton(toQt(tessary::tr("Grant Access…")), this)),
      m_grantAgain(new QPushButton(toQt(tessary::tr("Grant Access Again…")), this)),
      m_forget(new QPushButton(toQt(tessary::tr("Forget Access…")), this)),
      m_note(new ErrorLabel(this)), m_allSet(new QWidget(this)), m_allSetText(detailLabel(m_allSet))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    QWidget* steps = sectionBox(tessary::tr("Set up Tessary"), this);
    // A step: the tick and the headline, then the detail below, indented.
    const auto addStep = [steps](QLabel* icon, QLabel* title, QWidget* detail, QLayout* buttons) {
        auto* headline = new QHBoxLayout;
        headline->addWidget(icon);
        headline->addWidget(title, 1);
        auto* body = new QVBoxLayout;
        body->setContentsMargins(26, 0, 0, 0);
        body->addWidget(detail);
        if (buttons != nullptr) {
            body->addLayout(buttons);
        }
        auto* step = new QVBoxLayout;
        step->setSpacing(6);
        step->setContentsMargins(0, 4, 0, 4);
        step->addLayout(headline);
        step->addLayout(body);
        static_cast<QVBoxLayout*>(steps->layout())->addLayout(step);
    };
    auto* extensionButtons = new QHBoxLayout;
    extensionButtons->addWidget(m_restart);
    extensionButtons->addStretch(1);
    addStep(m_extensionIcon, m_extensionTitle, m_extensionDetail, extensionButtons);
    auto* accessButtons = new QHBoxLayout;
    accessButtons->addWidget(m_grant);
    accessButtons->addWidget(m_grantAgain);
    accessButtons->addWidget(m_forget);
    accessButtons->addStretch(1);
    auto* accessDetail = new QWidget(this);
    auto* accessLayout = new QVBoxLayout(accessDetail);
    accessLayout->setContentsMargins(0, 0, 0, 0);
    accessLayout->addWidget(m_accessDetail);
    accessLayout->addLayout(accessButtons);
    accessLayout->addWidget(m_note);
    addStep(m_accessIcon, m_accessTitle, accessDetail, nullptr);

    auto* seal = new QLabel(m_allSet);
    seal->setPixmap(symbolIcon("checkmark.seal").pixmap(16, 16));
    auto* allSetLayout = new QHBoxLayout(m_allSet);
    allSetLayout->setContentsMargins(0, 4, 0, 4);
    allSetLayout->addWidget(seal, 0, Qt::AlignTop);
    allSetLayout->addWidget(m_allSetText, 1);
    steps->layout()->addWidget(m_allSet);
    layout->addWidget(steps);

    QWidget* onUse = sectionBox(tessary::tr("Nothing to allow beforehand"), this);
    onUse->layout()->addWidget(captionLabel(
        tessary::tr(
            "The keyboard shortcut asks Files which folder is open, through Tessary’s extension. "
            "“Start renaming it right away” presses F2 in Files for you. Nothing asks for a "
            "permission first."),
        onUse));
    layout->addWidget(onUse);

    QWidget* app = sectionBox(tessary::tr("App"), this);
    app->layout()->addWidget(
        captionLabel(tessary::tr("Closing this window keeps Tessary running for Files; "
                                 "open it again from the application menu to get "
                                 "back here."),
                     app));
    auto* quit = new QPushButton(toQt(tessary::tr("Quit Tessary")), app);
    auto* quitRow = new QHBoxLayout;
    quitRow->addWidget(quit);
    quitRow->addStretch(1);
    static_cast<QVBoxLayout*>(app->layout())->addLayout(quitRow);
    layout->addWidget(app);
    layout->addStretch(1);

    connect(m_restart, &QPushButton::clicked, this, std::move(restartFileManager));
    connect(m_grant, &QPushButton::clicked, this, &SetupPage::grant);
    connect(m_grantAgain, &QPushButton::clicked, this, &SetupPage::grant);
    connect(m_forget, &QPushButton::clicked, this, &SetupPage::forget);
    connect(quit, &QPushButton::clicked, qApp, &QCoreApplication::quit);
    connect(&m_store, &SettingsStore::settingsChanged, this, &SetupPage::showState);
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &SetupPage::refreshExtension);
    m_extensionState = known;
    showState();
}

void SetupPage::showEvent(QShowEvent* event)
{
    m_poll.start();
    QWidget::showEvent(event);
}

void SetupPage::hideEvent(QHideEvent* event)
{
    m_poll.stop();
    QWidget::hideEvent(event);
}

void SetupPage::refreshExtension()
{
    m_extensionState = m_extension.state();
    showState();
}

void SetupPage::showState()
{
    const ExtensionStep step = extensionStep(m_extensionState, m_extension.moduleFolder());
    setStepDone(m_extensionTitle, m_extensionIcon, step.done);
    m_extensionDetail->setText(toQt(step.detail));
    m_restart->setVisible(step.offersRestart);

    const SharedSettings& settings = m_store.settings();
    const bool granted = settings.hasDiskAccess();
    setStepDone(m_accessTitle, m_accessIcon, granted);
    if (granted && settings.rootPath) {
        m_accessDetail->setText(toQt(
            tessary::tr("Access granted to %@.",
                        grantedFolderName(*settings.rootPath, DiskAccess::startupDiskName()))));
    } else {
        m_accessDetail->setText(
            toQt(tessary::tr("So files can be created in any folder. In the panel, select "
                             "the root folder of your computer (“%@”) and click Grant Access.",
                             DiskAccess::startupDiskName())));
    }
    m_grant->setVisible(!(granted && settings.rootPath));
    m_grantAgain->setVisible(granted && settings.rootPath);
    m_forget->setVisible(granted && settings.rootPath);
    m_note->setMessage(m_grantNote);

    m_allSet->setVisible(step.done && granted);
    m_allSetText->setText(toQt(allSetText(settings)));
}

void SetupPage::grant()
{
    if (!m_diskAccess.grantDiskAccess()) {
        return;
    }
    m_store.reload();
    m_grantNote = grantNote(m_store.settings().rootPath);
    showState();
}

void SetupPage::forget()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessary"),
                    toQt(tessary::tr("Forget access to your disk?")), QMessageBox::NoButton, this);
    box.setInformativeText(
        toQt(tessary::tr("Tessary can't create files until you grant access again.")));
    QPushButton* confirm =
        box.addButton(toQt(tessary::tr("Forget Access")), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(toQt(tessary::tr("Cancel")), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    if (box.clickedButton() != confirm) {
        return;
    }
    try {
        m_diskAccess.forgetDiskAccess();
        m_grantNote.reset();
    } catch (const std::system_error& error) {
        m_grantNote = tessary::tr("Couldn't forget disk access: %@", error.code().message());
    }
    m_store.reload();
    showState();
}

} // namespace tessary

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

SetupPage::SetupPage(SettingsStore& store, DiskAccess& diskAccess, FileManagers& fileManagers,
                     std::function<void(FileManager&)> restartFileManager, QWidget* parent)
    : QWidget(parent), m_store(store), m_diskAccess(diskAccess), m_fileManagers(fileManagers),
      m_restartFileManager(std::move(restartFileManager)), m_extensionIcon(new QLabel(this)),
      m_extensionTitle(stepTitle({}, this)), m_extensionDetail(new QWidget(this)),
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
    new QVBoxLayout(m_extensionDetail);
    m_extensionDetail->layout()->setContentsMargins(0, 0, 0, 0);
    addStep(m_extensionIcon, m_extensionTitle, m_extensionDetail, nullptr);
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

    connect(m_grant, &QPushButton::clicked, this, &SetupPage::grant);
    connect(m_grantAgain, &QPushButton::clicked, this, &SetupPage::grant);
    connect(m_forget, &QPushButton::clicked, this, &SetupPage::forget);
    connect(quit, &QPushButton::clicked, qApp, &QCoreApplication::quit);
    connect(&m_store, &SettingsStore::settingsChanged, this, &SetupPage::showState);
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &SetupPage::refreshExtension);
    refreshExtension();
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
    const std::vector<InstalledFileManager> installed = m_fileManagers.installed();
    // A line per installed file manager: its text, and the button that loads the module.
    while (m_lines.size() < installed.size()) {
        auto* line = new QWidget(m_extensionDetail);
        auto* layout = new QVBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        QLabel* detail = detailLabel(line);
        auto* restart = new QPushButton(line);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(restart);
        buttons->addStretch(1);
        layout->addWidget(detail);
        layout->addLayout(buttons);
        m_extensionDetail->layout()->addWidget(line);
        const std::size_t index = m_lines.size();
        connect(restart, &QPushButton::clicked, this, [this, index] {
            if (index < m_lines.size() && m_lines[index].installed.fileManager != nullptr) {
                m_restartFileManager(*m_lines[index].installed.fileManager);
            }
        });
        m_lines.push_back({{nullptr, nullptr}, {}, detail, restart});
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        m_lines[i].installed = i < installed.size() ? installed[i] : InstalledFileManager{};
        m_lines[i].state =
            i < installed.size() ? installed[i].extension->state() : FileManagerExtensionState{};
        m_lines[i].detail->parentWidget()->setVisible(i < installed.size());
    }
    showState();
}

void SetupPage::showState()
{
    std::vector<std::string> names;
    std::vector<FileManagerExtensionState> states;
    for (const FileManagerLine& line : m_lines) {
        FileManager* fileManager = line.installed.fileManager;
        if (fileManager == nullptr) {
            continue;
        }
        const bool newWindow = fileManager->newWindowLoadsModule();
        const ExtensionStep step =
            extensionStep(line.state, line.installed.extension->moduleFolder(),
                          fileManager->displayName(), newWindow);
        line.detail->setText(toQt(step.detail));
        line.restart->setText(toQt(restartTitle(fileManager->displayName(), newWindow)));
        line.restart->setVisible(step.offersRestart);
        names.push_back(fileManager->displayName());
        states.push_back(line.state);
    }
    const bool extensionDone = isExtensionStepDone(states);
    m_extensionTitle->setText(toQt(extensionStepTitle(names)));
    setStepDone(m_extensionTitle, m_extensionIcon, extensionDone);

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

    m_allSet->setVisible(extensionDone && granted);
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

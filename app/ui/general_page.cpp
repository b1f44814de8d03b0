// The General page's sections and their bindings.
#include "ui/general_page.h"

#include "filemanager/front_folder_query.h"
#include "ui/form_parts.h"
#include "shortcut/hot_key.h"
#include "shared/localization.h"
#include "lifecycle/login_item.h"
#include "filemanager/rename_immediately.h"
#include "ui/shortcut_recorder.h"
#include "settings/setup_guide.h"
#include "settings/status_rows.h"
#include "updates/update_checker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tessary {
namespace {

QColor statusTint(std::string_view symbol, const QWidget* widget)
{
    if (symbol == "checkmark.circle") {
        return {0x26, 0xa2, 0x69};
    }
    return symbol == "exclamationmark.triangle" ? QColor(0xc6, 0x46, 0x00)
                                                : secondaryColour(widget);
}

// A container for status rows, one under the other.
QWidget* rowList(QWidget* parent)
{
    auto* rows = new QWidget(parent);
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    return rows;
}

} // namespace

GeneralPage::GeneralPage(SettingsStore& store, SettingsServices services,
                         std::function<void(FileManager&)> restartFileManager, QWidget* parent)
    : QWidget(parent), m_store(store), m_services(std::move(services)),
      m_restartFileManager(std::move(restartFileManager)), m_sections(new QVBoxLayout(this))
{
    m_sections->setContentsMargins(0, 0, 0, 0);
    m_sections->setSpacing(16);
    addMenuSection();
    addShortcutSection();
    addAfterCreatingSection();
    addStartupSection();
    if (TESSARY_UPDATE_CHECK) {
        addUpdatesSection();
    }
    m_sections->addStretch(1);

    connect(&m_store, &SettingsStore::settingsChanged, this, &GeneralPage::showSettings);
    showSettings();
    refreshStatus();
}

void GeneralPage::addMenuSection()
{
    QWidget* section = sectionBox(tessary::tr("Menu"), this);
    m_defaultTemplate = new QComboBox(section);
    m_menuCaption = captionLabel({}, section);
    auto* form = new QFormLayout;
    form->addRow(toQt(tessary::tr("Default template")), m_defaultTemplate);
    auto* layout = static_cast<QVBoxLayout*>(section->layout());
    layout->addLayout(form);
    layout->addWidget(m_menuCaption);
    m_sections->addWidget(section);

    connect(m_defaultTemplate, &QComboBox::activated, this, [this](int index) {
        const auto& templates = m_store.settings().templates;
        if (index >= 0 && static_cast<std::size_t>(index) < templates.size()) {
            const Uuid id = templates[static_cast<std::size_t>(index)].id;
            m_store.update([id](SharedSettings& settings) { settings.defaultTemplateID = id; });
        }
    });
}

void GeneralPage::addShortcutSection()
{
    QWidget* section = sectionBox(tessary::tr("Keyboard shortcut"), this);
    m_shortcutEnabled =
        new QCheckBox(toQt(tessary::tr("Create the default file with a shortcut")), section);
    m_shortcutRow = new QWidget(section);
    auto* form = new QFormLayout(m_shortcutRow);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(toQt(tessary::tr("Shortcut")),
                 new ShortcutRecorder(m_store,
                                      std::bind_front(&GeneralPage::registerShortcut, this),
                                      m_shortcutRow));
    m_fileManagerStatus = rowList(section);
    m_shortcutError = new ErrorLabel(section);
    QLayout* layout = section->layout();
    layout->addWidget(m_shortcutEnabled);
    layout->addWidget(m_shortcutRow);
    layout->addWidget(captionLabel(
        tessary::tr("Works while Files is in front: creates the default template in the front "
                    "window's folder, or on the Desktop when no window is open. Nothing happens "
                    "in other apps."),
        section));
    layout->addWidget(
        captionLabel(tessary::tr("To learn which folder is open, Tessary asks its extension "
                                 "inside Files. Files loads the extension when it starts."),
                     section));
    layout->addWidget(m_fileManagerStatus);
    layout->addWidget(m_shortcutError);
    m_sections->addWidget(section);

    connect(m_shortcutEnabled, &QCheckBox::toggled, this, [this](bool on) {
        m_store.update([on](SharedSettings& settings) { settings.shortcutEnabled = on; });
        registerShortcut();
    });
}

void GeneralPage::addAfterCreatingSection()
{
    QWidget* section = sectionBox(tessary::tr("After creating a file"), this);
    m_openAfterCreate = new QCheckBox(toQt(tessary::tr("Open it in its default app")), section);
    m_renameImmediately = new QCheckBox(toQt(tessary::tr("Start renaming it right away")), section);
    m_renameStatus = rowList(section);
    QLayout* layout = section->layout();
    layout->addWidget(m_openAfterCreate);
    layout->addWidget(m_renameImmediately);
    layout->addWidget(
        captionLabel(tessary::tr("Tessary presses F2 in Files for you. That works on an X11 "
                                 "desktop, or wherever Files has loaded Tessary’s extension."),
                     section));
    layout->addWidget(m_renameStatus);
    m_sections->addWidget(section);

    connect(m_openAfterCreate, &QCheckBox::toggled, this, [this](bool on) {
        m_store.update([on](SharedSettings& settings) { settings.openAfterCreate = on; });
    });
    connect(m_renameImmediately, &QCheckBox::toggled, this, [this](bool on) {
        m_store.update([on](SharedSettings& settings) { settings.renameImmediately = on; });
        refreshStatus();
    });
}

void GeneralPage::addStartupSection()
{
    QWidget* section = sectionBox(tessary::tr("Startup"), this);
    m_openAtLogin = new QCheckBox(toQt(tessary::tr("Open at login")), section);
    m_loginError = new ErrorLabel(section);
    QLayout* layout = section->layout();
    layout->addWidget(m_openAtLogin);
    layout->addWidget(
        captionLabel(tessary::tr("Tessary runs in the background so Files can create files "
                                 "instantly. Without it the system starts Tessary on demand, "
                                 "which takes a moment."),
                     section));
    layout->addWidget(m_loginError);
    m_sections->addWidget(section);

    connect(m_openAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        try {
            m_services.loginItem.setLoginItemEnabled(on);
            m_loginError->setMessage(std::nullopt);
        } catch (const LoginItemError& error) {
            m_loginError->setMessage(error.what());
        }
        refreshStatus();
    });
}

void GeneralPage::addUpdatesSection()
{
    QWidget* section = sectionBox(tessary::tr("Updates"), this);
    auto* automatic = new QCheckBox(toQt(tessary::tr("Check for updates automatically")), section);
    automatic->setChecked(UpdateChecker::checksAutomatically());
    auto* saveError = new ErrorLabel(section);
    auto* version =
        new QLabel(toQt(tessary::tr("Version %@", std::string(TESSARY_VERSION))), section);
    makeSecondary(version);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_checkingIndicator = new QProgressBar(section);
    m_checkingIndicator->setRange(0, 0); // busy, without a known end
    m_checkingIndicator->setTextVisible(false);
    m_checkingIndicator->setMaximumWidth(60);
    QSizePolicy keepsPlace = m_checkingIndicator->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true); // "Check Now" stays where it is
    m_checkingIndicator->setSizePolicy(keepsPlace);
    m_checkingIndicator->setAccessibleName(toQt(tessary::tr("Checking for updates")));
    m_checkNow = new QPushButton(toQt(tessary::tr("Check Now")), section);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(version, 1);
    versionRow->addWidget(m_checkingIndicator);
    versionRow->addWidget(m_checkNow);
    auto* layout = static_cast<QVBoxLayout*>(section->layout());
    layout->addWidget(automatic);
    layout->addWidget(saveError);
    layout->addLayout(versionRow);
    m_sections->addWidget(section);

    connect(automatic, &QCheckBox::toggled, this, [saveError](bool on) {
        const std::error_code error = UpdateChecker::setChecksAutomatically(on);
        saveError->setMessage(
            error ? std::optional(tessary::tr("Couldn't save the setting: %@", error.message()))
                  : std::nullopt);
    });
    connect(m_checkNow, &QPushButton::clicked, this, &GeneralPage::checkForUpdates);
    showCheckingForUpdates(false);
}

void GeneralPage::showSettings()
{
    const SharedSettings& settings = m_store.settings();
    // The menu's default: the chosen template, else the first one when none is chosen or
    // the chosen one is gone. The box shows that same template, never a blank.
    const auto index = settings.defaultTemplateIndex();
    {
        const QSignalBlocker blocker(m_defaultTemplate);
        m_defaultTemplate->clear();
        for (const FileTemplate& item : settings.templates) {
            m_defaultTemplate->addItem(toQt(item.menuLabel()));
        }
        m_defaultTemplate->setCurrentIndex(index ? static_cast<int>(*index) : -1);
    }
    m_menuCaption->setText(
        toQt(tessary::tr("The menu of Files gets a direct “New %@” item for it, next to "
                         "the “Tessary” submenu with every template.",
                         index ? settings.templates[*index].menuLabel() : std::string())));
    const QSignalBlocker shortcutBlocker(m_shortcutEnabled);
    m_shortcutEnabled->setChecked(settings.shortcutEnabled);
    m_shortcutRow->setVisible(settings.shortcutEnabled);
    m_fileManagerStatus->setVisible(settings.shortcutEnabled);
    const QSignalBlocker openBlocker(m_openAfterCreate);
    m_openAfterCreate->setChecked(settings.openAfterCreate);
    const QSignalBlocker renameBlocker(m_renameImmediately);
    m_renameImmediately->setChecked(settings.renameImmediately);
    m_renameStatus->setVisible(settings.renameImmediately);
}

void GeneralPage::refreshStatus()
{
    showFileManagerRows(m_fileManagerStatus, [this](FileManager& fileManager) {
        return fileManagerStatusRow(m_services.frontFolder.permission(fileManager),
                                    fileManager.displayName());
    });
    showFileManagerRows(m_renameStatus, [this](FileManager& fileManager) {
        return renameStatusRow(m_services.rename.renameRoute(fileManager),
                               fileManager.displayName());
    });
    m_renameStatus->setVisible(m_store.settings().renameImmediately);
    const QSignalBlocker blocker(m_openAtLogin);
    m_openAtLogin->setChecked(isLoginSwitchOn(m_services.loginItem.status()));
}

void GeneralPage::showFileManagerRows(QWidget* rows,
                                      const std::function<StatusRow(FileManager&)>& row)
{
    const auto installed = m_services.fileManagers.installed();
    QList<StatusRowWidget*> widgets =
        rows->findChildren<StatusRowWidget*>(QString(), Qt::FindDirectChildrenOnly);
    while (widgets.size() < static_cast<qsizetype>(installed.size())) {
        widgets.push_back(new StatusRowWidget(rows));
        rows->layout()->addWidget(widgets.back());
    }
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        StatusRowWidget* widget = widgets[i];
        widget->setVisible(i < static_cast<qsizetype>(installed.size()));
        if (i >= static_cast<qsizetype>(installed.size())) {
            continue;
        }
        FileManager* fileManager = installed[static_cast<std::size_t>(i)].fileManager;
        const StatusRow shown = row(*fileManager);
        const bool restarts = shown.action == StatusRow::Action::restartFileManager;
        widget->setRow(
            shown.text, shown.symbol, statusTint(shown.symbol, widget),
            restarts ? restartTitle(fileManager->displayName(), fileManager->newWindowLoadsModule())
                     : std::string(),
            restarts
                ? std::function<void()>([this, fileManager] { m_restartFileManager(*fileManager); })
                : std::function<void()>());
    }
}

void GeneralPage::showEvent(QShowEvent* event)
{
    registerShortcut();
    QWidget::showEvent(event);
}

void GeneralPage::registerShortcut()
{
    // "registering…" until the service answers (the portal answers late, maybe after the page
    // is gone), then the failure if there is one.
    const auto showState = [page = QPointer(this)] {
        if (page) {
            const HotKey& hotKey = page->m_services.hotKey;
            page->m_shortcutError->setMessage(
                hotKey.isRegistering() ? std::optional(tessary::tr("registering…"))
                : hotKey.failure()     ? std::optional<std::string>(hotKey.failure()->what())
                                       : std::nullopt);
        }
    };
    m_services.hotKey.onRegistrationChanged = showState;
    try {
        m_services.hotKey.registerShortcut(m_store.settings());
        showState();
    } catch (const HotKey::RegistrationError& error) {
        m_shortcutError->setMessage(error.what());
    }
}

void GeneralPage::checkForUpdates()
{
    showCheckingForUpdates(true);
    // The checker never calls back once it is gone; the page may go first.
    m_services.updates.check(true, [page = QPointer(this)](const UpdateChecker::Result&) {
        if (page) {
            page->showCheckingForUpdates(false);
        }
    });
}

void GeneralPage::showCheckingForUpdates(bool checking)
{
    m_checkingIndicator->setVisible(checking);
    m_checkNow->setEnabled(!checking);
}

} // namespace tessary

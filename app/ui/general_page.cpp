// The General page's sections and their bindings.
#include "general_page.h"

#include "form_parts.h"
#include "localization.h"
#include "login_item.h"
#include "status_rows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tessary {
namespace {

constexpr std::string_view kCheckForUpdatesKey = "checkForUpdatesAutomatically";

QColor statusTint(std::string_view symbol)
{
    return symbol == "checkmark.circle" ? QColor(0x26, 0xa2, 0x69) : QColor(0xc6, 0x46, 0x00);
}

} // namespace

GeneralPage::GeneralPage(SettingsStore& store, LoginItem& loginItem,
                         std::function<bool()> canPressRenameKey,
                         std::function<void()> restartFileManager, QWidget* parent)
    : QWidget(parent), m_store(store), m_loginItem(loginItem),
      m_canPressRenameKey(std::move(canPressRenameKey)),
      m_restartFileManager(std::move(restartFileManager)), m_sections(new QVBoxLayout(this))
{
    m_sections->setContentsMargins(0, 0, 0, 0);
    m_sections->setSpacing(16);
    addMenuSection();
    addAfterCreatingSection();
    addStartupSection();
    addUpdatesSection();
    m_sections->addStretch(1);

    connect(&m_store, &SettingsStore::settingsChanged, this, &GeneralPage::showSettings);
    showSettings();
    refreshStatus();
}

void GeneralPage::addMenuSection()
{
    QGroupBox* section = sectionBox(tessary::tr("Menu"), this);
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

void GeneralPage::addAfterCreatingSection()
{
    QGroupBox* section = sectionBox(tessary::tr("After creating a file"), this);
    m_openAfterCreate = new QCheckBox(toQt(tessary::tr("Open it in its default app")), section);
    m_renameImmediately = new QCheckBox(toQt(tessary::tr("Start renaming it right away")), section);
    m_renameStatus = new StatusRowWidget(section);
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
    QGroupBox* section = sectionBox(tessary::tr("Startup"), this);
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
            m_loginItem.setLoginItemEnabled(on);
            m_loginError->setMessage(std::nullopt);
        } catch (const LoginItemError& error) {
            m_loginError->setMessage(error.what());
        }
        refreshStatus();
    });
}

void GeneralPage::addUpdatesSection()
{
    QGroupBox* section = sectionBox(tessary::tr("Updates"), this);
    const DefaultsStore defaults = DefaultsStore::standard();
    auto* automatic = new QCheckBox(toQt(tessary::tr("Check for updates automatically")), section);
    automatic->setChecked(defaults.boolean(kCheckForUpdatesKey).value_or(true));
    auto* saveError = new ErrorLabel(section);
    auto* version =
        new QLabel(toQt(tessary::tr("Version %@", std::string(TESSARY_VERSION))), section);
    makeSecondary(version);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(version, 1);
    auto* layout = static_cast<QVBoxLayout*>(section->layout());
    layout->addWidget(automatic);
    layout->addWidget(saveError);
    layout->addLayout(versionRow);
    m_sections->addWidget(section);

    connect(automatic, &QCheckBox::toggled, this, [saveError](bool on) {
        const std::error_code error = DefaultsStore::standard().setBool(kCheckForUpdatesKey, on);
        saveError->setMessage(
            error ? std::optional(tessary::tr("Couldn't save the setting: %@", error.message()))
                  : std::nullopt);
    });
}

void GeneralPage::showSettings()
{
    const SharedSettings& settings = m_store.settings();
    {
        const QSignalBlocker blocker(m_defaultTemplate);
        m_defaultTemplate->clear();
        int selected = -1;
        for (std::size_t i = 0; i < settings.templates.size(); ++i) {
            m_defaultTemplate->addItem(toQt(settings.templates[i].name));
            if (settings.templates[i].id == settings.defaultTemplateID) {
                selected = static_cast<int>(i);
            }
        }
        m_defaultTemplate->setCurrentIndex(selected);
    }
    const auto index = settings.defaultTemplateIndex();
    m_menuCaption->setText(
        toQt(tessary::tr("The menu of Files gets a direct “New %@” item for it, next to "
                         "the “Tessary” submenu with every template.",
                         index ? settings.templates[*index].name : std::string())));
    const QSignalBlocker openBlocker(m_openAfterCreate);
    m_openAfterCreate->setChecked(settings.openAfterCreate);
    const QSignalBlocker renameBlocker(m_renameImmediately);
    m_renameImmediately->setChecked(settings.renameImmediately);
    m_renameStatus->setVisible(settings.renameImmediately);
}

void GeneralPage::refreshStatus()
{
    const StatusRow row = renameStatusRow(m_canPressRenameKey());
    m_renameStatus->setRow(row.text, row.symbol, statusTint(row.symbol),
                           row.action == StatusRow::Action::restartFileManager
                               ? tessary::tr("Restart Files…")
                               : std::string(),
                           m_restartFileManager);
    m_renameStatus->setVisible(m_store.settings().renameImmediately);
    const QSignalBlocker blocker(m_openAtLogin);
    m_openAtLogin->setChecked(isLoginSwitchOn(m_loginItem.status()));
}

} // namespace tessary

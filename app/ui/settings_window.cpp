// The window's sidebar, page switching and the page rules.
#include "ui/settings_window.h"

#include "creation/disk_access.h"
#include "platform/file_manager.h"
#include "filemanager/front_folder_query.h"
#include "ui/form_parts.h"
#include "ui/general_page.h"
#include "shared/localization.h"
#include "settings/setup_guide.h"
#include "ui/setup_page.h"
#include "ui/symbol_icon.h"
#include "ui/templates_page.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessary {
namespace {

constexpr int kSidebarWidth = 190;
constexpr int kPageRole = Qt::UserRole + 1;

} // namespace

SettingsWindow::SettingsWindow(SettingsServices services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)), m_sidebar(new QListWidget(this)),
      m_title(new QLabel(this)), m_saveError(new ErrorLabel(this)),
      m_pages(new QStackedWidget(this))
{
    setWindowTitle(toQt(tessary::tr("Tessary Settings")));
    // Ctrl+Q quits the application, as "Quit Tessary" on the setup page does.
    connect(new QShortcut(QKeySequence::Quit, this), &QShortcut::activated, qApp,
            &QCoreApplication::quit);
    setMinimumSize(760, 520);
    resize(820, 580);

    m_sidebar->setAccessibleName(toQt(tessary::tr("Pages")));
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setIconSize(QSize(16, 16));
    m_sidebar->setSpacing(1);
    m_sidebar->viewport()->setAutoFillBackground(false);
    for (const SettingsPage page : kSidebarPages) {
        if (page == SettingsPage::general) {
            auto* header = new QListWidgetItem(toQt(tessary::tr("Settings")), m_sidebar);
            header->setFlags(Qt::NoItemFlags);
            QFont font = m_sidebar->font();
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * 0.85);
            header->setFont(font);
        }
        auto* item =
            new QListWidgetItem(symbolIcon(pageSymbol(page)), toQt(pageTitle(page)), m_sidebar);
        item->setData(kPageRole, static_cast<int>(page));
        m_rows[page] = item;
    }
    auto* about = new QPushButton(toQt(tessary::tr("About Tessary")), this);
    about->setFlat(true);
    connect(about, &QPushButton::clicked, this, [this] { m_services.showAbout(); });

    auto* sidebar = new QWidget(this);
    sidebar->setFixedWidth(kSidebarWidth);
    sidebar->setAutoFillBackground(true);
    sidebar->setBackgroundRole(QPalette::AlternateBase);
    auto* sidebarLayout = new QVBoxLayout(sidebar);
    sidebarLayout->setContentsMargins(8, 12, 8, 8);
    sidebarLayout->addWidget(m_sidebar, 1);
    sidebarLayout->addWidget(about, 0, Qt::AlignLeft);

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_title->setFont(titleFont);
    auto* detail = new QVBoxLayout;
    detail->setContentsMargins(0, 12, 0, 0);
    detail->setSpacing(6);
    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 0, 20, 0);
    header->addWidget(m_title);
    header->addWidget(m_saveError);
    detail->addLayout(header);
    detail->addWidget(m_pages, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(sidebar);
    layout->addLayout(detail, 1);

    connect(m_sidebar, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_sidebar->selectedItems();
        if (!selected.isEmpty()) {
            showPage(static_cast<SettingsPage>(selected.front()->data(kPageRole).toInt()));
            return;
        }
        showPage(m_page); // one row is always selected
    });
    connect(&m_store, &SettingsStore::saveErrorChanged, this, [this] {
        const std::error_code error = m_store.saveError();
        m_saveError->setMessage(
            error ? std::optional(tessary::tr("Your change couldn't be saved: %@", error.message()))
                  : std::nullopt);
    });

    // The rule decides where the window opens; only the user's own choice is remembered.
    const SharedSettings stored = SharedSettings::load();
    std::vector<FileManagerExtensionState> states;
    for (const InstalledFileManager& installed : m_services.fileManagers.installed()) {
        states.push_back(installed.extension->state());
    }
    m_page = initialPage(storedPage(DefaultsStore::standard()), isExtensionStepDone(states),
                         stored.hasDiskAccess());
    display();
}

void SettingsWindow::showPage(SettingsPage page)
{
    if (page != m_page) {
        m_page = page;
        storePage(DefaultsStore::standard(), page);
    }
    display();
}

void SettingsWindow::display()
{
    const SettingsPage page = m_page;
    QWidget*& built = m_built[page];
    if (built == nullptr) {
        built = buildPage(page);
        m_pages->addWidget(built);
    }
    m_pages->setCurrentWidget(built);
    m_title->setText(toQt(pageTitle(page)));
    if (!m_rows[page]->isSelected()) {
        m_sidebar->setCurrentItem(m_rows[page]);
    }
}

QWidget* SettingsWindow::buildPage(SettingsPage page)
{
    QWidget* built = nullptr;
    switch (page) {
    case SettingsPage::templates:
        built = new TemplatesPage(m_store);
        break;
    case SettingsPage::general:
        built = m_general = new GeneralPage(m_store, m_services, [this](FileManager& fileManager) {
            restartFileManager(fileManager);
        });
        break;
    case SettingsPage::setup:
        built = m_setup =
            new SetupPage(m_store, m_services.diskAccess, m_services.fileManagers,
                          [this](FileManager& fileManager) { restartFileManager(fileManager); });
        break;
    }
    return isWidthCapped(page) ? new ReadableScrollArea(built, this) : built;
}

void SettingsWindow::reload()
{
    m_store.reload();
    if (m_general != nullptr) {
        m_general->refreshStatus();
    }
    if (m_setup != nullptr) {
        m_setup->refreshExtension();
    }
}

void SettingsWindow::restartFileManager(FileManager& fileManager)
{
    if (fileManager.newWindowLoadsModule() || confirmRestart(fileManager.displayName())) {
        fileManager.restart();
    }
}

bool SettingsWindow::confirmRestart(const std::string& name)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tessary"),
                    toQt(tessary::tr("Restart %@?", name)), QMessageBox::NoButton, this);
    box.setInformativeText(
        toQt(tessary::tr("%1$s closes its windows and starts again with Tessary’s "
                         "extension. Let any copy or move in %1$s finish first.",
                         name)));
    QPushButton* restart =
        box.addButton(toQt(tessary::tr("Restart %@", name)), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(toQt(tessary::tr("Cancel")), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == restart;
}

} // namespace tessary

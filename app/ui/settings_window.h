// "Tessary Settings": a sidebar of pages (Templates; Settings: General, Setup) and the
// selected page. The window owns its store, so each opening starts from the stored document.
#pragma once

#include "settings/settings_page.h"
#include "settings/settings_store.h"

#include <QWidget>

#include <functional>
#include <map>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;

namespace tessary {

class DiskAccess;
class ErrorLabel;
class FileManager;
class FileManagers;
class FrontFolderQuery;
class GeneralPage;
class HotKey;
class LoginItem;
class RenameImmediately;
class SetupPage;
class UpdateChecker;
class Workspace;

// What the pages act on.
struct SettingsServices {
    DiskAccess& diskAccess;
    LoginItem& loginItem;
    FileManagers& fileManagers;
    HotKey& hotKey;
    FrontFolderQuery& frontFolder;
    RenameImmediately& rename;
    UpdateChecker& updates;
    std::function<void()> showAbout;
};

class SettingsWindow : public QWidget {
public:
    explicit SettingsWindow(SettingsServices services, QWidget* parent = nullptr);

    SettingsPage page() const { return m_page; }
    void showPage(SettingsPage page);
    // Shows the stored document and the states that can change outside the window again.
    void reload();

private:
    // Shows the current page, building it the first time.
    void display();
    QWidget* buildPage(SettingsPage page);
    // Asks first, then quits the file manager and starts it again so that it loads the
    // extension (where a new window loads it, opens one without asking): the one way both
    // pages restart it.
    void restartFileManager(FileManager& fileManager);
    bool confirmRestart(const std::string& name);

    SettingsServices m_services;
    SettingsStore m_store;
    SettingsPage m_page = SettingsPage::general;
    QListWidget* m_sidebar;
    std::map<SettingsPage, QListWidgetItem*> m_rows;
    QLabel* m_title;
    ErrorLabel* m_saveError;
    QStackedWidget* m_pages;
    std::map<SettingsPage, QWidget*> m_built;
    GeneralPage* m_general = nullptr;
    SetupPage* m_setup = nullptr;
};

} // namespace tessary

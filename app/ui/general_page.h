// The General page: the default template, the global shortcut, what happens after a file is
// created, starting at login and update checks, with live status rows. Each section is built
// by one method, in page order.
#pragma once

#include "settings/settings_store.h"
#include "ui/settings_window.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tessary {

class ErrorLabel;
class FileManager;
struct StatusRow;

class GeneralPage : public QWidget {
public:
    // `restartFileManager` asks first, then restarts the file manager so that it loads the
    // extension.
    GeneralPage(SettingsStore& store, SettingsServices services,
                std::function<void(FileManager&)> restartFileManager, QWidget* parent = nullptr);

    // Reads the states that can change outside the window again (when the host is activated).
    void refreshStatus();

protected:
    // Registers the shortcut again, so the page shows whether it really is active.
    void showEvent(QShowEvent* event) override;

private:
    void addMenuSection();
    void addShortcutSection();
    void addAfterCreatingSection();
    void addStartupSection();
    void addUpdatesSection();
    void showSettings();
    void registerShortcut();
    void checkForUpdates();
    void showCheckingForUpdates(bool checking);
    // One status row per installed file manager in `rows`, made by `row`.
    void showFileManagerRows(QWidget* rows, const std::function<StatusRow(FileManager&)>& row);

    SettingsStore& m_store;
    SettingsServices m_services;
    std::function<void(FileManager&)> m_restartFileManager;
    QVBoxLayout* m_sections;

    QComboBox* m_defaultTemplate = nullptr;
    QLabel* m_menuCaption = nullptr;
    QCheckBox* m_shortcutEnabled = nullptr;
    QWidget* m_shortcutRow = nullptr;
    QWidget* m_fileManagerStatus = nullptr; // a row per installed file manager
    ErrorLabel* m_shortcutError = nullptr;
    QCheckBox* m_openAfterCreate = nullptr;
    QCheckBox* m_renameImmediately = nullptr;
    QWidget* m_renameStatus = nullptr; // a row per installed file manager
    QCheckBox* m_openAtLogin = nullptr;
    ErrorLabel* m_loginError = nullptr;
    QProgressBar* m_checkingIndicator = nullptr;
    QPushButton* m_checkNow = nullptr;
};

} // namespace tessary

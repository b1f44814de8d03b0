// The General page: the default template, what happens after a file is created, starting at
// login and update checks, with live status rows. Each section is built by one method, in
// page order, so further sections slot in between them.
#pragma once

#include "settings_store.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QVBoxLayout;

namespace tessary {

class ErrorLabel;
class LoginItem;
class StatusRowWidget;

class GeneralPage : public QWidget {
public:
    // `canPressRenameKey` tells whether the rename key press can reach the file manager;
    // `restartFileManager` asks first, then restarts it.
    GeneralPage(SettingsStore& store, LoginItem& loginItem, std::function<bool()> canPressRenameKey,
                std::function<void()> restartFileManager, QWidget* parent = nullptr);

    // Reads the states that can change outside the window again (when the host is activated).
    void refreshStatus();

private:
    void addMenuSection();
    void addAfterCreatingSection();
    void addStartupSection();
    void addUpdatesSection();
    void showSettings();

    SettingsStore& m_store;
    LoginItem& m_loginItem;
    std::function<bool()> m_canPressRenameKey;
    std::function<void()> m_restartFileManager;
    QVBoxLayout* m_sections;

    QComboBox* m_defaultTemplate = nullptr;
    QLabel* m_menuCaption = nullptr;
    QCheckBox* m_openAfterCreate = nullptr;
    QCheckBox* m_renameImmediately = nullptr;
    StatusRowWidget* m_renameStatus = nullptr;
    QCheckBox* m_openAtLogin = nullptr;
    ErrorLabel* m_loginError = nullptr;
};

} // namespace tessary

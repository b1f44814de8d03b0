// The Setup page: the two steps Tessary needs (its extension active in the file manager, a
// folder granted), each ticking itself, plus what is asked on use and the Quit button.
#pragma once

#include "platform/file_manager_extension.h"
#include "settings/settings_store.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace tessary {

class DiskAccess;
class ErrorLabel;
class ValueLabel;

class SetupPage : public QWidget {
public:
    // `known` is the extension's state just asked; the page asks again every two seconds.
    SetupPage(SettingsStore& store, DiskAccess& diskAccess, FileManagerExtension& extension,
              const FileManagerExtensionState& known, std::function<void()> restartFileManager,
              QWidget* parent = nullptr);

    // Reads the extension's state again.
    void refreshExtension();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void grant();
    void forget();
    void showState();

    SettingsStore& m_store;
    DiskAccess& m_diskAccess;
    FileManagerExtension& m_extension;
    FileManagerExtensionState m_extensionState;
    std::optional<std::string> m_grantNote;
    QTimer m_poll;

    QLabel* m_extensionIcon;
    ValueLabel* m_extensionTitle;
    QLabel* m_extensionDetail;
    QPushButton* m_restart;
    QLabel* m_accessIcon;
    ValueLabel* m_accessTitle;
    QLabel* m_accessDetail;
    QPushButton* m_grant;
    QPushButton* m_grantAgain;
    QPushButton* m_forget;
    ErrorLabel* m_note;
    QWidget* m_allSet;
    QLabel* m_allSetText;
};

} // namespace tessary

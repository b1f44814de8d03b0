// The Setup page: the two steps Tessary needs (its extension active in the file manager, a
// folder granted), each ticking itself, plus what is asked on use and the Quit button.
#pragma once

#include "platform/file_manager.h"
#include "settings/settings_store.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace tessary {

class DiskAccess;
class ErrorLabel;
class ValueLabel;

class SetupPage : public QWidget {
public:
    // The page asks for the extension's state in every installed file manager every two
    // seconds; `restartFileManager` loads it in one.
    SetupPage(SettingsStore& store, DiskAccess& diskAccess, FileManagers& fileManagers,
              std::function<void(FileManager&)> restartFileManager, QWidget* parent = nullptr);

    // Reads the extension's states again.
    void refreshExtension();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void grant();
    void forget();
    void showState();

    // One installed file manager's line in the extension step.
    struct FileManagerLine {
        InstalledFileManager installed;
        FileManagerExtensionState state;
        QLabel* detail;
        QPushButton* restart;
    };

    SettingsStore& m_store;
    DiskAccess& m_diskAccess;
    FileManagers& m_fileManagers;
    std::function<void(FileManager&)> m_restartFileManager;
    std::vector<FileManagerLine> m_lines;
    std::optional<std::string> m_grantNote;
    QTimer m_poll;

    QLabel* m_extensionIcon;
    ValueLabel* m_extensionTitle;
    QWidget* m_extensionDetail;
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

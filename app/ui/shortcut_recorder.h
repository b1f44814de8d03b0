// The control that shows the global shortcut and records a new one: while recording it
// takes the next key press anywhere in the application, stores it through the store when it
// has Ctrl, Alt or Super, and then runs the owner's onChange. It registers nothing itself.
#pragma once

#include "settings/settings_store.h"

#include <QWidget>

#include <functional>

class QPushButton;

namespace tessary {

class ValueLabel;

class ShortcutRecorder : public QWidget {
public:
    ShortcutRecorder(SettingsStore& store, std::function<void()> onChange,
                     QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    bool isRecording() const { return m_recording; }
    void startRecording();
    void stopRecording();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void handleKeyPress(const QKeyEvent& event);
    void showShortcut();

    SettingsStore& m_store;
    std::function<void()> m_onChange;
    bool m_recording = false;
    ValueLabel* m_box;
    QPushButton* m_button;
};

} // namespace tessary

// The host's windows: the one settings window (shown, or raised when it is already open) and
// the About window (made once). Applies the activation-policy rule to every top-level window
// and reloads the settings window when the application becomes active.
#pragma once

#include "lifecycle/host_lifecycle.h"
#include "ui/settings_window.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace tessary {

class AboutWindow;
class DesktopStyle;

class HostWindows : public QObject {
public:
    HostWindows(SettingsServices services, HostLifecycle& delegate, Workspace& workspace);
    ~HostWindows() override;

    void showSettings();
    // Runs `work` once the settings window has been painted for the first time (at the
    // latest a second from now).
    void afterFirstPaint(std::function<void()> work);
    void showAbout();

    SettingsWindow* settingsWindow() const { return m_settings; }
    AboutWindow* aboutWindow() const { return m_about.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<DesktopStyle> m_style;
    SettingsServices m_services;
    HostLifecycle& m_delegate;
    Workspace& m_workspace;
    QPointer<SettingsWindow> m_settings;
    std::unique_ptr<AboutWindow> m_about;
};

} // namespace tessary

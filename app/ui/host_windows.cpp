// Window creation, raising, the activation policy and the reload on activation.
#include "ui/host_windows.h"

#include "ui/about_window.h"
#include "ui/desktop_style.h"
#include "ui/symbol_icon.h"
#include "platform/workspace.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <utility>

#include <vector>

namespace tessary {
namespace {

WindowInfo windowInfo(const QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    return {
        .id = window,
        .isPanel = qobject_cast<const QDialog*>(window) != nullptr,
        .isSheet = type == Qt::Sheet,
        .titled = (type == Qt::Window || type == Qt::Dialog) &&
                  !window->windowFlags().testFlag(Qt::FramelessWindowHint),
        .visible = window->isVisible(),
    };
}

void bringForward(QWidget* window)
{
    window->showNormal();
    window->raise();
    window->activateWindow();
}

// Runs its work once, right after the window it watches is first exposed (a widget window
// paints while its expose event is handled), or after a second if that never comes.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWindow* window, std::function<void()> work, QObject* parent)
        : QObject(parent), m_work(std::move(work))
    {
        if (window != nullptr) {
            window->installEventFilter(this);
        }
        QTimer::singleShot(1000, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Expose) {
            QTimer::singleShot(0, this, [this] { run(); });
        }
        return false;
    }

private:
    void run()
    {
        if (const auto work = std::exchange(m_work, {})) {
            work();
        }
        deleteLater();
    }

    std::function<void()> m_work;
};

} // namespace

HostWindows::HostWindows(SettingsServices services, HostLifecycle& delegate, Workspace& workspace)
    : m_style(std::make_unique<DesktopStyle>()), m_services(std::move(services)),
      m_delegate(delegate), m_workspace(workspace)
{
    m_services.showAbout = [this] {
        showAbout();
    };
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && m_settings) {
                    m_settings->reload();
                }
            });
}

HostWindows::~HostWindows()
{
    qApp->removeEventFilter(this);
    delete m_settings;
}

void HostWindows::showSettings()
{
    if (!m_settings) {
        m_settings = new SettingsWindow(m_services);
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
        // Drawn in every size a window manager may ask for: after the window's first paint.
        QTimer::singleShot(100, m_settings,
                           [window = m_settings] { window->setWindowIcon(applicationIcon()); });
    }
    bringForward(m_settings);
}

void HostWindows::afterFirstPaint(std::function<void()> work)
{
    new AfterFirstPaint(m_settings ? m_settings->windowHandle() : nullptr, std::move(work), this);
}

void HostWindows::showAbout()
{
    if (!m_about) {
        m_about = std::make_unique<AboutWindow>(
            [this](const std::string& url) { m_workspace.openURL(url); });
    }
    m_about->present();
}

bool HostWindows::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !widget->isWindow()) {
        return false;
    }
    if (event->type() == QEvent::WindowActivate) {
        m_delegate.windowShown(windowInfo(widget));
    } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
        // Once the close has finished, with the windows that are left.
        QTimer::singleShot(0, this, [this, closing = windowInfo(widget)] {
            std::vector<WindowInfo> windows;
            for (const QWidget* window : QApplication::topLevelWidgets()) {
                windows.push_back(windowInfo(window));
            }
            m_delegate.windowClosed(closing, windows);
        });
    }
    return false;
}

} // namespace tessary

// The bridge inside Dolphin: a D-Bus object on Dolphin's own session-bus connection (bus
// name org.kde.dolphin-PID), path /com/orvane/tessary/Bridge, interface
// com.orvane.tessary.Bridge, answering which window has the focus and what its active view
// shows, and starting the inline rename of the file the host just created.
//
// Dolphin loads its overlay-icon plugins when its first view starts, in every process, so
// the bridge is one of them; it draws no overlays. Dolphin installs no headers: its views
// are found by class name, and their selection is followed through their public
// selectionChanged signal. Everything runs on Dolphin's UI thread.
#include "extension/dolphin/dolphin_window.h"
#include "shared/bridge_interface.h"
#include "shared/logger.h"

#include <algorithm>

#include <KFileItem>
#include <KActionCollection>
#include <KXmlGuiWindow>
#include <KOverlayIconPlugin>
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QMetaMethod>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tessary {
namespace {

const Logger kLog("finder-sync");

// Dolphin refreshes a file shortly after it arrives (its folder lister collects changes for
// half a second), and a refresh closes an inline editor open on it: the rename waits until
// the view's items have been left alone this long.
constexpr qint64 kSettledMs = 600;
// The answer comes within this long (the caller gives up after 250 ms and asks again later),
// checking every kCheckMs.
constexpr qint64 kAnswerWithinMs = 200;
constexpr int kCheckMs = 10;

// The view a widget belongs to, up to its window.
QWidget* viewOf(QWidget* widget)
{
    for (; widget != nullptr && !widget->isWindow(); widget = widget->parentWidget()) {
        if (widget->inherits("DolphinView")) {
            return widget;
        }
    }
    return nullptr;
}

} // namespace

class BridgeObject : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit BridgeObject(QObject* parent) : QDBusVirtualObject(parent)
    {
        qApp->installEventFilter(this);
        m_registered = QDBusConnection::sessionBus().registerVirtualObject(
            QLatin1String(kBridgePath), this, QDBusConnection::SingleNode);
        if (!m_registered) {
            kLog.error("Could not offer the file manager bridge: %{public}s",
                       QDBusConnection::sessionBus().lastError().message().toStdString());
        }
    }

    ~BridgeObject() override
    {
        if (m_registered) {
            QDBusConnection::sessionBus().unregisterObject(QLatin1String(kBridgePath));
        }
    }

    QString introspect(const QString&) const override
    {
        // The interface part of the shared definition, without its <node> element.
        QString xml = QString::fromUtf8(kBridgeXml);
        xml.remove(QLatin1String("<node>")).remove(QLatin1String("</node>"));
        return xml;
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String(kBridgeInterface)) {
            return false;
        }
        QDBusMessage reply;
        try {
            const QString method = message.member();
            const QString uri = message.arguments().value(0).toString();
            if (method == QLatin1String("ActiveWindow") && message.signature().isEmpty()) {
                reply = message.createReply(activeWindow());
            } else if (method == QLatin1String("Rename") && message.signature() == "s") {
                message.setDelayedReply(true);
                QElapsedTimer asked;
                asked.start();
                renameWhenSettled(message, uri, asked);
                return true;
            } else if (method == QLatin1String("Reveal") && message.signature() == "s") {
                // Dolphin's own ShowItems selects the file in the window that shows its folder
                // already, so the caller's fallback does it.
                reply = message.createReply(QVariantList{false});
            } else {
                reply = message.createErrorReply(QDBusError::UnknownMethod,
                                                 QStringLiteral("unknown method"));
            }
        } catch (...) {
            reply = message.createErrorReply(QDBusError::Failed, QStringLiteral("not answered"));
        }
        connection.send(reply);
        return true;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        // Every event of the process passes here: only two types are looked at.
        if (event->type() == QEvent::Polish && object->inherits("DolphinView")) {
            follow(object);
        } else if (event->type() == QEvent::WindowActivate && object->isWidgetType() &&
                   object->inherits("DolphinMainWindow")) {
            m_lastWindow = static_cast<QWidget*>(object);
        }
        return false;
    }

private Q_SLOTS:
    void noteSelection(const KFileItemList& selection)
    {
        m_views[sender()].selection = selection.urlList();
    }

    void noteItemsChanged()
    {
        if (QObject* view = m_modelViews.value(sender())) {
            m_views[view].changed.start();
        }
    }

private:
    void follow(QObject* view)
    {
        if (m_views.contains(view)) {
            return;
        }
        m_views[view].changed.start();
        connect(view, SIGNAL(selectionChanged(KFileItemList)), this,
                SLOT(noteSelection(KFileItemList)));
        connect(view, &QObject::destroyed, this, [this](QObject* gone) { m_views.remove(gone); });
        // Items inserted, removed, moved or changed: every signal of the view's item model
        // whose name starts with "items".
        const int itemsChanged = metaObject()->indexOfSlot("noteItemsChanged()");
        const auto models = view->findChildren<QObject*>();
        for (QObject* model : models) {
            if (!model->inherits("KFileItemModel")) {
                continue;
            }
            m_modelViews.insert(model, view);
            connect(model, &QObject::destroyed, this,
                    [this](QObject* gone) { m_modelViews.remove(gone); });
            const QMetaObject* meta = model->metaObject();
            for (int i = 0; i < meta->methodCount(); ++i) {
                const QMetaMethod signal = meta->method(i);
                if (signal.methodType() == QMetaMethod::Signal &&
                    signal.name().startsWith("items")) {
                    connect(model, signal, this, metaObject()->method(itemsChanged));
                }
            }
        }
    }

    // The focused Dolphin window, else the one that had the focus last.
    QWidget* window() const
    {
        if (QWidget* active = dolphinWindow(qApp->activeWindow())) {
            return active;
        }
        return m_lastWindow.data();
    }

    QVariantList activeWindow() const
    {
        QWidget* focused = window();
        if (focused == nullptr) {
            return {false, QString(), QString(), QString()};
        }
        const auto* mainWindow = qobject_cast<const KMainWindow*>(focused);
        return {focused->isActiveWindow(),
                mainWindow != nullptr ? mainWindow->dbusName() : QString(), focused->windowTitle(),
                QString::fromUtf8(activeLocation(focused).toEncoded())};
    }

    // The focused window's active view when its selection is exactly the file and the
    // window can rename; null (and why, in the log) otherwise.
    QWidget* renamingView(const QString& uri) const
    {
        QWidget* focused = dolphinWindow(qApp->activeWindow());
        QWidget* view = viewOf(qApp->focusWidget());
        const QList<QUrl> selection = m_views.value(view).selection;
        const char* refusal = nullptr;
        if (focused == nullptr) {
            refusal = "no window has the focus";
        } else if (view == nullptr) {
            refusal = "no view has the focus";
        } else if (selection.size() != 1 ||
                   !selection.front().matches(QUrl::fromEncoded(uri.toUtf8()),
                                              QUrl::StripTrailingSlash |
                                                  QUrl::NormalizePathSegments)) {
            refusal = "it is not the one selected file";
        } else if (renameAction(focused) == nullptr) {
            refusal = "the window's rename action is not available";
        }
        if (refusal != nullptr) {
            kLog.debug("Not renaming %{public}s: %{public}s", uri.toStdString(), refusal);
            return nullptr;
        }
        return view;
    }

    static QAction* renameAction(QWidget* window)
    {
        auto* guiWindow = qobject_cast<KXmlGuiWindow*>(window);
        QAction* action = guiWindow != nullptr
                              ? guiWindow->actionCollection()->action(QStringLiteral("renamefile"))
                              : nullptr;
        return action != nullptr && action->isEnabled() ? action : nullptr;
    }

    static bool editing(QWidget* view)
    {
        const auto widgets = view->findChildren<QWidget*>();
        return std::any_of(widgets.begin(), widgets.end(), [](const QWidget* widget) {
            return widget->inherits("KItemListRoleEditor") && widget->isVisible();
        });
    }

    // Starts Dolphin's own rename (inline unless the user chose a dialog) once the view has
    // settled, and answers whether its editor opened; false lets the caller ask again.
    void renameWhenSettled(const QDBusMessage& message, const QString& uri,
                           const QElapsedTimer& asked, bool triggered = false)
    {
        QWidget* view = renamingView(uri);
        const bool open = view != nullptr && triggered && editing(view);
        const bool settled = view != nullptr && m_views.value(view).changed.hasExpired(kSettledMs);
        if (view != nullptr && !triggered && settled) {
            renameAction(view->window())->trigger();
            triggered = true;
        }
        if (view == nullptr || open || asked.hasExpired(kAnswerWithinMs)) {
            if (view != nullptr && !open) {
                kLog.debug("Not renaming %{public}s yet: %{public}s", uri.toStdString(),
                           triggered ? "Dolphin did not open its editor" : "the view is updating");
            }
            QDBusConnection::sessionBus().send(message.createReply(QVariantList{open}));
            return;
        }
        QTimer::singleShot(kCheckMs, this, [this, message, uri, asked, triggered] {
            renameWhenSettled(message, uri, asked, triggered);
        });
    }

    bool m_registered = false;
    QPointer<QWidget> m_lastWindow;
    struct ViewState {
        QList<QUrl> selection; // as the view last announced it
        QElapsedTimer changed; // since its items last changed
    };
    QHash<const QObject*, ViewState> m_views;
    QHash<const QObject*, QObject*> m_modelViews; // item model -> its view
};

class TessaryBridgePlugin : public KOverlayIconPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.kde.overlayicon.tessary" FILE "tessary_bridge.json")
public:
    explicit TessaryBridgePlugin(QObject* parent = nullptr) : KOverlayIconPlugin(parent)
    {
        // Other programs that load overlay plugins (a file dialog, Konqueror) get nothing.
        if (QCoreApplication::applicationName() == QLatin1String("dolphin") && qApp != nullptr) {
            guarded(kLog, "Starting the bridge", [this] { m_bridge = new BridgeObject(this); });
        }
    }

    QStringList getOverlays(const QUrl&) override { return {}; }

private:
    BridgeObject* m_bridge = nullptr;
};

} // namespace tessary

#include "dolphin_bridge.moc"

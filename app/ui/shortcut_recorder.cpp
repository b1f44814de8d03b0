// Recording through an application-wide event filter, and the box's accessible value.
#include "ui/shortcut_recorder.h"

#include "ui/form_parts.h"
#include "shared/localization.h"
#include "platform/linux/x11_keymap.h"
#include "settings/shortcut_recording.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace tessary {
ShortcutRecorder::ShortcutRecorder(SettingsStore& store, std::function<void()> onChange,
                                   QWidget* parent)
    : QWidget(parent), m_store(store), m_onChange(std::move(onChange)), m_box(new ValueLabel(this)),
      m_button(new QPushButton(this))
{
    m_box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_box->setMinimumWidth(80);
    m_box->setFocusPolicy(Qt::StrongFocus);
    m_box->setAccessibleName(toQt(tessary::tr("Keyboard shortcut")));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_box);
    layout->addWidget(m_button);
    layout->addStretch(1);
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_recording) {
            stopRecording();
        } else {
            startRecording();
        }
    });
    connect(&m_store, &SettingsStore::settingsChanged, this, &ShortcutRecorder::showShortcut);
    showShortcut();
}

ShortcutRecorder::~ShortcutRecorder()
{
    stopRecording();
}

void ShortcutRecorder::startRecording()
{
    m_recording = true;
    qApp->installEventFilter(this);
    showShortcut();
    const QString announcement = toQt(tessary::tr("Press the new shortcut, or Escape to cancel."));
    m_box->setAccessibleDescription(announcement);
    m_box->setFocus(Qt::OtherFocusReason);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(m_box, announcement);
    event.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&event);
#else
    // Without announcements, an alert from the focused box is what screen readers speak.
    QAccessibleEvent event(m_box, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
#endif
}

void ShortcutRecorder::stopRecording()
{
    if (!m_recording) {
        return;
    }
    m_recording = false;
    qApp->removeEventFilter(this);
    m_box->setAccessibleDescription({});
    showShortcut();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        event->accept(); // the press comes here, not to a shortcut of the window
        return true;
    case QEvent::KeyPress:
        handleKeyPress(*static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::KeyRelease:
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void ShortcutRecorder::hideEvent(QHideEvent* event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

void ShortcutRecorder::handleKeyPress(const QKeyEvent& event)
{
    KeyPress press{event.nativeScanCode(), event.nativeVirtualKey(), event.key(), event.modifiers(),
                   std::nullopt};
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            press.unshifted = unshiftedCharacter(x11->connection(), press.xKeyCode);
        }
    }
    const RecordedKey key = recordKeyPress(press);
    switch (key.outcome) {
    case RecordedKey::Outcome::modifierOnly:
        return;
    case RecordedKey::Outcome::cancel:
        stopRecording();
        return;
    case RecordedKey::Outcome::reject:
        QApplication::beep();
        return;
    case RecordedKey::Outcome::accept:
        break;
    }
    m_store.update([&](SharedSettings& settings) {
        settings.shortcutKeyCode = key.keyCode;
        settings.shortcutModifiers = key.modifiers;
        settings.shortcutLabel = key.label;
    });
    stopRecording();
    if (m_onChange) {
        m_onChange();
    }
}

void ShortcutRecorder::showShortcut()
{
    const std::string& label = m_store.settings().shortcutLabel;
    m_box->setText(m_recording ? toQt(tessary::tr("Press keys…")) : toQt(label));
    m_box->setAccessibleValue(m_recording ? toQt(tessary::tr("Press keys"))
                                          : toQt(spokenShortcut(label)));
    m_box->setStyleSheet(QStringLiteral("padding: 4px 10px; border-radius: 6px; "
                                        "background: palette(base); border: 1px solid %1;")
                             .arg(m_recording ? QStringLiteral("palette(highlight)")
                                              : QStringLiteral("palette(mid)")));
    m_button->setText(m_recording ? toQt(tessary::tr("Cancel"))
                                  : toQt(tessary::tr("Record Shortcut")));
}

} // namespace tessary

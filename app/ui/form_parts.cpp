// The shared page pieces.
#include "ui/form_parts.h"

#include "settings/settings_page.h"
#include "ui/symbol_icon.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace tessary {
namespace {

constexpr int kIconSize = 16;

class ValueLabelAccessible : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(ValueLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        const auto* label = static_cast<const ValueLabel*>(widget());
        switch (kind) {
        case QAccessible::Name:
            return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
        case QAccessible::Value:
            return label->accessibleValue();
        default:
            return QAccessibleWidget::text(kind);
        }
    }
};

QAccessibleInterface* valueLabelAccessible(const QString&, QObject* object)
{
    auto* label = dynamic_cast<ValueLabel*>(object);
    return label != nullptr ? new ValueLabelAccessible(label) : nullptr;
}

} // namespace

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(valueLabelAccessible);
        return true;
    }();
    static_cast<void>(installed);
}

void ValueLabel::setAccessibleValue(const QString& value)
{
    if (value == m_value) {
        return;
    }
    m_value = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}

ErrorLabel::ErrorLabel(QWidget* parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_text(new QLabel(this))
{
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    hide();
}

void ErrorLabel::setMessage(const std::optional<std::string>& message)
{
    if (message && m_icon->pixmap().isNull()) { // drawn once there is something to warn about
        m_icon->setPixmap(symbolIcon("exclamationmark.triangle.fill", QColor(0xc0, 0x1c, 0x28))
                              .pixmap(kIconSize, kIconSize));
    }
    m_text->setText(message ? toQt(*message) : QString());
    setAccessibleName(m_text->text());
    setVisible(message.has_value());
}

StatusRowWidget::StatusRowWidget(QWidget* parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_text(new QLabel(this)),
      m_button(new QPushButton(this))
{
    m_text->setWordWrap(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_icon, 0, Qt::AlignVCenter);
    layout->addWidget(m_text, 1, Qt::AlignVCenter);
    layout->addWidget(m_button, 0, Qt::AlignVCenter);
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_action) {
            m_action();
        }
    });
}

void StatusRowWidget::setRow(const std::string& text, std::string_view symbol, const QColor& tint,
                             const std::string& buttonTitle, std::function<void()> action)
{
    m_icon->setPixmap(symbolIcon(symbol, tint).pixmap(kIconSize, kIconSize));
    m_text->setText(toQt(text));
    m_button->setText(toQt(buttonTitle));
    m_button->setVisible(!buttonTitle.empty());
    m_action = std::move(action);
}

QColor secondaryColour(const QWidget* widget)
{
    // GNOME dims secondary text to 55 % of the text colour; styles that leave the
    // placeholder colour at full strength (Adwaita) would show captions as body text.
    QColor colour = widget->palette().color(QPalette::WindowText);
    colour.setAlphaF(0.55F);
    return colour;
}

void makeSecondary(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryColour(label));
    label->setPalette(palette);
}

QLabel* captionLabel(const std::string& text, QWidget* parent)
{
    auto* label = new QLabel(toQt(text), parent);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    makeSecondary(label);
    return label;
}

namespace {

// The heading is drawn above the box, in the space the top margin keeps free.
class BoxedSection : public QWidget {
public:
    BoxedSection(const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
    {
        setAccessibleName(title);
        auto* layout = new QVBoxLayout(this);
        layout->setSpacing(8);
        updateMargins();
    }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            updateMargins();
        }
        QWidget::changeEvent(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(headingFont());
        painter.setPen(palette().color(QPalette::WindowText));
        const int heading = headingHeight();
        painter.drawText(QRect(kHeadingIndent, 0, width() - kHeadingIndent, heading),
                         Qt::AlignLeft | Qt::AlignVCenter, m_title);
        const QRectF box = QRectF(rect()).adjusted(0.5, heading + kHeadingGap + 0.5, -0.5, -0.5);
        QColor border = palette().color(QPalette::WindowText);
        border.setAlphaF(0.15F);
        painter.setPen(border);
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(box, kRadius, kRadius);
    }

private:
    static constexpr int kRadius = 12;
    static constexpr int kHeadingGap = 6;
    static constexpr int kHeadingIndent = 2;
    static constexpr int kPadding = 12;

    QFont headingFont() const
    {
        QFont bold = font();
        bold.setBold(true);
        return bold;
    }
    int headingHeight() const { return QFontMetrics(headingFont()).height(); }
    void updateMargins()
    {
        layout()->setContentsMargins(kPadding, headingHeight() + kHeadingGap + kPadding, kPadding,
                                     kPadding);
    }

    QString m_title;
};

} // namespace

QWidget* sectionBox(const std::string& title, QWidget* parent)
{
    return new BoxedSection(toQt(title), parent);
}

ReadableScrollArea::ReadableScrollArea(QWidget* content, QWidget* parent) : QScrollArea(parent)
{
    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ReadableScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    const int margin = readableMargin(viewport()->width());
    widget()->setContentsMargins(margin, kMinimumMargin, margin, kMinimumMargin);
}

} // namespace tessary

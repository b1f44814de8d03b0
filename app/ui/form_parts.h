// Small pieces the settings pages share: the one-line warning, a status row, captions,
// titled sections, and the scroll area that keeps a page at a readable width.
#pragma once

#include <QLabel>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QPushButton;

namespace tessary {

inline QString toQt(const std::string& text)
{
    return QString::fromStdString(text);
}

// A red warning symbol and a verbatim text; hidden while there is no text.
class ErrorLabel : public QWidget {
public:
    explicit ErrorLabel(QWidget* parent = nullptr);

    void setMessage(const std::optional<std::string>& message);
    QString text() const { return m_text->text(); }

private:
    QLabel* m_icon;
    QLabel* m_text;
};

// A symbol, a text and at most one button, in one row.
class StatusRowWidget : public QWidget {
public:
    explicit StatusRowWidget(QWidget* parent = nullptr);

    // An empty button title hides the button; `action` runs when it is clicked.
    void setRow(const std::string& text, std::string_view symbol, const QColor& tint = {},
                const std::string& buttonTitle = {}, std::function<void()> action = {});
    QString text() const { return m_text->text(); }

private:
    QLabel* m_icon;
    QLabel* m_text;
    QPushButton* m_button;
    std::function<void()> m_action;
};

// A label that screen readers read with a value besides its name: a step's "Done", the
// shortcut box's spoken shortcut.
class ValueLabel : public QLabel {
public:
    explicit ValueLabel(QWidget* parent = nullptr);

    QString accessibleValue() const { return m_value; }
    void setAccessibleValue(const QString& value);

private:
    QString m_value;
};

// Secondary text in a smaller font, wrapped.
QLabel* captionLabel(const std::string& text, QWidget* parent = nullptr);
// A titled group as GNOME's preferences show one: a bold heading over a rounded box of
// rows ("boxed list"), not a framed group box. Its layout() stacks the rows vertically.
QWidget* sectionBox(const std::string& title, QWidget* parent = nullptr);
// The colour secondary texts use, and a label shown in it.
QColor secondaryColour(const QWidget* widget);
void makeSecondary(QLabel* label);

// Scrolls a page whose content is centred and at most the readable width wide, never
// closer than the minimum margin to either edge.
class ReadableScrollArea : public QScrollArea {
public:
    explicit ReadableScrollArea(QWidget* content, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace tessary

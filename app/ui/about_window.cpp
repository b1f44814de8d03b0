// The About window's layout and links.
#include "ui/about_window.h"

#include "ui/form_parts.h"
#include "shared/localization.h"
#include "updates/product_website.h"
#include "ui/symbol_icon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace tessary {
namespace {

constexpr int kIconSize = 72;
constexpr int kWidth = 280;
constexpr int kLinkSpacing = 8;

QLabel* secondaryLabel(const std::string& text, QWidget* parent)
{
    auto* label = new QLabel(toQt(text), parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    makeSecondary(label);
    return label;
}

// The links in a row with room between them for the separators the window draws.
class LinkRow : public QWidget {
public:
    explicit LinkRow(const std::function<void(const std::string&)>& openURL, QWidget* parent)
        : QWidget(parent)
    {
        const std::string site = productWebsite();
        const std::array<std::pair<std::string, std::string>, 3> links = {{
            {tessary::tr("Website"), site},
            {tessary::tr("Support"), site + "/support"},
            {tessary::tr("License"), site + "/eula"},
        }};
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(kLinkSpacing * 2 + fontMetrics().horizontalAdvance(QLatin1Char('|')));
        layout->addStretch(1);
        for (const auto& [title, url] : links) {
            auto* link =
                new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(toQt(url).toHtmlEscaped(), toQt(title).toHtmlEscaped()),
                           this);
            link->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                          Qt::LinksAccessibleByKeyboard);
            link->setFocusPolicy(Qt::StrongFocus);
            link->setAccessibleName(toQt(title));
            connect(link, &QLabel::linkActivated, this,
                    [openURL](const QString& target) { openURL(target.toStdString()); });
            layout->addWidget(link);
            m_links.push_back(link);
        }
        layout->addStretch(1);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(secondaryColour(this));
        for (std::size_t i = 1; i < m_links.size(); ++i) {
            const int left = m_links[i - 1]->geometry().right();
            const int right = m_links[i]->geometry().left();
            painter.drawText(QRect(left, 0, right - left, height()), Qt::AlignCenter,
                             QStringLiteral("|"));
        }
    }

private:
    std::vector<QLabel*> m_links;
};

} // namespace

AboutWindow::AboutWindow(std::function<void(const std::string&)> openURL, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_openURL(std::move(openURL))
{
    setWindowTitle(toQt(tessary::tr("About Tessary")));
    auto* name = new QLabel(QStringLiteral("Tessary"), this);
    name->setAlignment(Qt::AlignHCenter);
    QFont title = name->font();
    title.setPointSizeF(title.pointSizeF() * 1.4);
    title.setWeight(QFont::DemiBold);
    name->setFont(title);
    QLabel* version = secondaryLabel(tessary::tr("Version %@", std::string(TESSARY_VERSION)), this);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QLabel* footnote = captionLabel(tessary::tr("Made by Orvane."), this);
    footnote->setAlignment(Qt::AlignHCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 8, 32, 20);
    layout->setSpacing(6);
    layout->addSpacing(kIconSize + 6); // the icon is drawn here
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(
        secondaryLabel(tessary::tr("New files from your templates, right in Files."), this));
    layout->addSpacing(8);
    layout->addWidget(new LinkRow(m_openURL, this));
    layout->addSpacing(6);
    layout->addWidget(footnote);
    setFixedWidth(kWidth);
    setFixedHeight(sizeHint().height());
}

void AboutWindow::present()
{
    if (!m_placed) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int top = contentsMargins().top() + layout()->contentsMargins().top();
    applicationIcon().paint(&painter, QRect((width() - kIconSize) / 2, top, kIconSize, kIconSize));
}

} // namespace tessary

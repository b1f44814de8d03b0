// Theme lookup, bundled fallback and tinting, remembered per symbol and colour.
#include "ui/symbol_icon.h"

#include "shared/menu_icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

// A static library's resources register only when asked to by name.
static void registerBundledIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace tessary {
namespace {

QString bundled(const QString& file)
{
    static const bool registered = (registerBundledIcons(), true);
    static_cast<void>(registered);
    return QStringLiteral(":/icons/") + file;
}

// The symbol table names Adwaita's icons. A session without a desktop's theme (hicolor
// alone) looks in Adwaita first; other themes get from Adwaita what they lack.
QIcon themeIcon(std::string_view name)
{
    static const bool themed = [] {
        const QString adwaita = QStringLiteral("Adwaita");
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
            QIcon::setThemeName(adwaita);
        } else {
            QIcon::setFallbackThemeName(adwaita);
        }
        return true;
    }();
    static_cast<void>(themed);
    return QIcon::fromTheme(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

// The symbol's own drawing, the filled variants sharing the outlined one; else a document.
QString bundledIconPath(std::string_view symbol)
{
    QString name = QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
    name.remove(QStringLiteral(".fill"));
    const QString path = bundled(name + QStringLiteral(".svg"));
    return QFile::exists(path) ? path : bundled(QStringLiteral("doc.svg"));
}

// Draws the source in the tint, at the sizes asked for and when first asked: a drawing is
// decoded once per size that is painted, never ahead of the first paint.
class TintedIconEngine : public QIconEngine {
public:
    TintedIconEngine(QIcon source, QColor tint) : m_source(std::move(source)), m_tint(tint) {}

    QIconEngine* clone() const override { return new TintedIconEngine(*this); }
    bool isNull() override { return m_source.isNull(); }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const QString key =
            QStringLiteral("%1x%2/%3").arg(size.width()).arg(size.height()).arg(mode);
        if (const auto found = m_pixmaps.constFind(key); found != m_pixmaps.constEnd()) {
            return *found;
        }
        QPixmap pixmap = m_source.pixmap(size);
        if (!pixmap.isNull()) {
            QPainter painter(&pixmap);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            QColor tint = m_tint;
            if (mode == QIcon::Disabled) {
                tint.setAlphaF(tint.alphaF() * 0.4F);
            }
            painter.fillRect(pixmap.rect(), tint);
        }
        m_pixmaps.insert(key, pixmap);
        return pixmap;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device()->devicePixelRatioF();
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

private:
    QIcon m_source;
    QColor m_tint;
    QHash<QString, QPixmap> m_pixmaps;
};

QIcon tinted(const QIcon& source, const QColor& tint)
{
    return source.isNull() ? QIcon() : QIcon(new TintedIconEngine(source, tint));
}

} // namespace

QIcon symbolIcon(std::string_view symbol, const QColor& tint)
{
    const QColor colour = tint.isValid() ? tint : QGuiApplication::palette().color(QPalette::Text);
    const QString key = QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size())) +
                        QLatin1Char(' ') + colour.name(QColor::HexArgb);
    static QHash<QString, QIcon> cache;
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        return *found;
    }
    QIcon icon;
    if (const auto name = menuIcon(symbol)) {
        icon = tinted(themeIcon(*name), colour);
    }
    if (icon.isNull()) { // not in the theme
        icon = tinted(QIcon(bundledIconPath(symbol)), colour);
    }
    cache.insert(key, icon);
    return icon;
}

QIcon applicationIcon()
{
    return QIcon(bundled(QStringLiteral("com.orvane.tessary.svg")));
}

} // namespace tessary

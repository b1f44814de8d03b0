// Theme lookup, bundled fallback and tinting, remembered per symbol and colour.
#include "ui/symbol_icon.h"

#include "shared/menu_icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <array>

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

QIcon tinted(const QIcon& source, const QColor& tint)
{
    QIcon icon;
    for (const int size : std::array{16, 32}) { // scaled between, and for double density
        QPixmap pixmap = source.pixmap(size, size);
        if (pixmap.isNull()) {
            continue;
        }
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), tint);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
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
    if (icon.isNull()) { // not in the theme, or not drawable
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

#include "ui/symbol_icon.hpp"

#include <QHash>
#include <QPainter>

static void initSymbolResources() { Q_INIT_RESOURCE(lf_symbols); }

namespace lf::ui {

QIcon symbolIcon(const QString& name) {
    static QHash<QString, QIcon> icons;
    if (const auto found = icons.constFind(name); found != icons.cend()) return *found;
    initSymbolResources();
    const QIcon bundled(QStringLiteral(":/symbols/") + name + QStringLiteral(".svg"));
    QIcon icon = QIcon::fromTheme(name + QStringLiteral("-symbolic"));
    if (icon.isNull()) icon = QIcon::fromTheme(name, bundled);
    icons.insert(name, icon);
    return icon;
}

QPixmap tintedSymbol(const QString& name, int side, const QColor& colour, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    QPixmap shape = symbolIcon(name).pixmap(QSize(pixels, pixels));
    QPixmap result(shape.size());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, shape);
    // Keep the symbol's shape, take the colour given.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QString kindSymbolName(model::MediaKind kind) {
    switch (kind) {
        case model::MediaKind::image: return QStringLiteral("image-x-generic");
        case model::MediaKind::video: return QStringLiteral("video-x-generic");
        case model::MediaKind::audio: return QStringLiteral("audio-x-generic");
    }
    return QStringLiteral("image-x-generic");
}

}  // namespace lf::ui

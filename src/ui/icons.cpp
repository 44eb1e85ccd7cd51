#include "ui/icons.hpp"

namespace lf::ui {

QIcon applicationIcon() {
    // The PNGs rendered from the SVG by librsvg: Qt's own SVG renderer lacks clip paths, which the
    // lantern's shape uses, and every size a window asks for is among them.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/lanternfold.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon themedIcon(const QString& themeName, const QString& fallback) {
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/actions/%1.svg").arg(fallback)));
}

}  // namespace lf::ui

#pragma once
// The pictures of the window: the application icon and the toolbar's icons. Each toolbar picture is
// a freedesktop theme icon when the desktop's theme has it, and the one bundled with the program
// otherwise, so the buttons never show up empty.
#include <QIcon>
#include <QString>

namespace lf::ui {

// The program's own icon (bundled; the installed copy in the hicolor theme is the same picture).
QIcon applicationIcon();

// The theme's icon named themeName, else the bundled picture resources/icons/actions/<fallback>.svg.
QIcon themedIcon(const QString& themeName, const QString& fallback);

}  // namespace lf::ui

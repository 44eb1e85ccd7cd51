#pragma once
// Symbols drawn by the views: a freedesktop theme icon when the desktop's theme has it, otherwise
// the picture bundled with the program, so a bare X session or the offscreen platform still shows
// every button's and placeholder's symbol.
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include "model/media_kind.hpp"

namespace lf::ui {

// The symbol named by its freedesktop icon name, e.g. "go-up" or "image-x-generic"; the symbolic
// variant of the theme is preferred.
QIcon symbolIcon(const QString& name);

// The symbol at side × side device-independent pixels in one colour (for placeholders drawn in the
// secondary text colour), at the given device pixel ratio.
QPixmap tintedSymbol(const QString& name, int side, const QColor& colour, qreal devicePixelRatio);

// The freedesktop icon name of a kind's placeholder symbol (photo, film, waveform).
QString kindSymbolName(model::MediaKind kind);

}  // namespace lf::ui

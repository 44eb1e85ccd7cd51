#include "ui/drop_outline.hpp"

#include <QEvent>
#include <QPainter>

namespace lf::ui {

namespace {
constexpr qreal inset = 4;
constexpr qreal strokeWidth = 3;
constexpr qreal cornerRadius = 10;
}  // namespace

DropOutline::DropOutline(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    hide();
}

bool DropOutline::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void DropOutline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), strokeWidth));
    painter.setBrush(Qt::NoBrush);
    // The stroke is centred on the path, so the path lies half a stroke further in.
    const qreal d = inset + strokeWidth / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(d, d, -d, -d), cornerRadius, cornerRadius);
}

}  // namespace lf::ui

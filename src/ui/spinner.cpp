#include "ui/spinner.hpp"

#include <QPainter>

namespace lf::ui {

Spinner::Spinner(int diameter, QWidget* parent) : QWidget(parent), diameter_(diameter) {
    setFixedSize(diameter, diameter);
    setAccessibleName(QStringLiteral("Busy"));
    timer_.setInterval(40);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

QSize Spinner::sizeHint() const { return {diameter_, diameter_}; }

void Spinner::showEvent(QShowEvent* event) {
    timer_.start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = qMax(1.5, diameter_ / 8.0);
    const QRectF box = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    QColor track = palette().color(QPalette::WindowText);
    track.setAlphaF(0.15);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(box);
    painter.setPen(QPen(palette().color(QPalette::WindowText), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(box, -angle_ * 16, 100 * 16);
}

}  // namespace lf::ui

#include "ui/busy_spinner.hpp"

#include <QPainter>

namespace lf::ui {

namespace {
constexpr int spokes = 12;
}

BusySpinner::BusySpinner(int side, QWidget* parent) : QWidget(parent), side_(side) {
    setFixedSize(side, side);
    setAccessibleName(QStringLiteral("Working"));
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % spokes;
        update();
    });
}

void BusySpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0;
    QColor colour = palette().color(QPalette::Text);
    QPen pen(colour, qMax(1.5, radius / 5), Qt::SolidLine, Qt::RoundCap);
    for (int spoke = 0; spoke < spokes; ++spoke) {
        const int age = (step_ - spoke + spokes) % spokes;
        colour.setAlphaF(1.0 - age * 0.07);
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(spoke * 360.0 / spokes);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

void BusySpinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void BusySpinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace lf::ui

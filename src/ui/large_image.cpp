#include "ui/large_image.hpp"

#include <QPainter>
#include <QPainterPath>

#include "app/item_texts.hpp"
#include "ui/spinner.hpp"
#include "ui/symbol_icon.hpp"

namespace lf::ui {

LargeImage::LargeImage(app::ThumbLoader& loader, QWidget* parent) : QWidget(parent), loader_(loader) {
    setAccessibleName(QStringLiteral("Preview"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(120, 120);
    spinner_ = new Spinner(24, this);
    spinner_->hide();
}

QString LargeImage::message() const {
    return state_ == State::failed ? QString::fromUtf16(app::undecodableText) : QString();
}

void LargeImage::setItem(const model::Item& item) {
    item_ = item;
    image_ = QImage();
    state_ = State::loading;
    const quint64 generation = ++generation_;
    spinner_->show();
    placeSpinner();
    update();
    loader_.request(item, previewPixels, this, [this, generation](std::optional<QImage> image) {
        if (generation != generation_) return;  // the item changed meanwhile
        spinner_->hide();
        if (image) {
            image_ = *image;
            state_ = State::shown;
            setAccessibleDescription({});
        } else {
            state_ = State::failed;
            setAccessibleDescription(message());
        }
        update();
    });
}

void LargeImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeSpinner();
}

void LargeImage::placeSpinner() {
    spinner_->move((width() - spinner_->width()) / 2, (height() - spinner_->height()) / 2);
}

void LargeImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QColor secondary = palette().color(QPalette::Text);
    secondary.setAlphaF(0.6);

    if (state_ == State::shown && !image_.isNull()) {
        // Leave room for the shadow below the picture.
        const QRectF room = QRectF(rect()).adjusted(4, 4, -4, -6);
        const QSizeF fitted = QSizeF(image_.size()).scaled(room.size(), Qt::KeepAspectRatio);
        const QRectF target(room.center().x() - fitted.width() / 2, room.center().y() - fitted.height() / 2,
                            fitted.width(), fitted.height());
        // A soft black shadow at 25 %, about 4 points of blur, one point down.
        painter.setPen(Qt::NoPen);
        for (int ring = 4; ring >= 1; --ring) {
            QColor shade(0, 0, 0, int(255 * 0.25 / 4));
            painter.setBrush(shade);
            const qreal grow = ring * 0.9;
            painter.drawRoundedRect(target.translated(0, 1).adjusted(-grow, -grow, grow, grow), grow, grow);
        }
        painter.drawImage(target, image_);
        return;
    }
    if (state_ == State::failed && item_) {
        const int side = 48;
        const QPixmap symbol = tintedSymbol(kindSymbolName(item_->kind), side, secondary, devicePixelRatioF());
        const QFontMetrics metrics(font());
        const int block = side + 10 + metrics.height();
        const int top = (height() - block) / 2;
        painter.drawPixmap((width() - side) / 2, top, symbol);
        painter.setPen(secondary);
        painter.drawText(QRect(0, top + side + 10, width(), metrics.height()), Qt::AlignCenter, message());
    }
}

}  // namespace lf::ui

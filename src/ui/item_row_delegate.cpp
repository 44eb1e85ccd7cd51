#include "ui/item_row_delegate.hpp"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "ui/item_list_model.hpp"
#include "ui/symbol_icon.hpp"

namespace lf::ui {

namespace {

constexpr int verticalPadding = 2;
constexpr int leadingInset = 8;
constexpr int spacing = 10;  // between the thumbnail and the texts
constexpr int lineGap = 2;   // between the two lines

QFont captionFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() * 0.85 : 9);
    return font;
}

}  // namespace

void paintThumb(QPainter* painter, const QRectF& square, const QImage& image, model::MediaKind kind,
                const QColor& secondary, qreal radius) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(square, radius, radius);
    painter->setClipPath(clip);
    if (!image.isNull()) {
        // Fill the square, cropping the overflow of the longer side.
        const QSizeF scaled = QSizeF(image.size()).scaled(square.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(square.center().x() - scaled.width() / 2, square.center().y() - scaled.height() / 2,
                            scaled.width(), scaled.height());
        painter->drawImage(target, image);
    } else {
        QColor wash = secondary;
        wash.setAlphaF(0.15);
        painter->fillRect(square, wash);
        const int side = qMax(8, int(square.width() * 0.45));
        const QPixmap symbol = tintedSymbol(kindSymbolName(kind), side, secondary, painter->device()->devicePixelRatioF());
        painter->drawPixmap(QPointF(square.center().x() - side / 2.0, square.center().y() - side / 2.0), symbol);
    }
    painter->restore();
}

void ItemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The selection and hover background of the platform style, without its text or icon.
    opt.text.clear();
    opt.icon = QIcon();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor text = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = text;
    secondary.setAlphaF(0.6);

    const QRect area = opt.rect.adjusted(leadingInset, verticalPadding, -leadingInset, -verticalPadding);
    const int side = ItemListModel::thumbSide;
    const QRectF thumb(area.left(), area.center().y() - side / 2.0 + 0.5, side, side);
    const auto kind = model::MediaKind(index.data(ItemListModel::KindRole).toInt());
    paintThumb(painter, thumb, index.data(ItemListModel::ThumbRole).value<QImage>(), kind,
               selected ? text : opt.palette.color(group, QPalette::Text), 4);

    const int textLeft = int(thumb.right()) + spacing;
    const int width = qMax(0, area.right() - textLeft);
    const QFont nameFont = opt.font;
    const QFont smallFont = captionFont(opt.font);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics smallMetrics(smallFont);
    const int block = nameMetrics.height() + lineGap + smallMetrics.height();
    int y = area.center().y() - block / 2 + 1;

    painter->save();
    painter->setFont(nameFont);
    painter->setPen(text);
    painter->drawText(QRect(textLeft, y, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, width));
    y += nameMetrics.height() + lineGap;
    painter->setFont(smallFont);
    painter->setPen(secondary);
    painter->drawText(QRect(textLeft, y, width, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      smallMetrics.elidedText(index.data(ItemListModel::SubtitleRole).toString(), Qt::ElideRight, width));
    painter->restore();
}

QSize ItemRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int texts = QFontMetrics(option.font).height() + lineGap + QFontMetrics(captionFont(option.font)).height();
    return {200, qMax(ItemListModel::thumbSide, texts) + 2 * verticalPadding + 4};
}

}  // namespace lf::ui

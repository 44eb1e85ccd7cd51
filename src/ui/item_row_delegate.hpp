#pragma once
// Draws one row of the item list: the 40-point rounded thumbnail (or the kind's placeholder symbol
// while it is absent), the file name shortened in the middle, and under it the kind word or the
// caption's first line in a smaller, secondary text. Rows are painted, not made of widgets, so a
// folder of thousands of items costs only the rows on screen.
#include <QStyledItemDelegate>

#include "model/media_kind.hpp"

namespace lf::ui {

class ItemRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Draws a thumbnail square: the picture filling it (cropped, aspect kept) or, when image is null,
// the secondary colour at 15 % with the kind's symbol; clipped to a rounded rectangle.
void paintThumb(QPainter* painter, const QRectF& square, const QImage& image, model::MediaKind kind,
                const QColor& secondary, qreal radius);

}  // namespace lf::ui

#include "ui/item_list.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/item_list_model.hpp"
#include "ui/item_row_delegate.hpp"
#include "ui/symbol_icon.hpp"

namespace lf::ui {

namespace {

QToolButton* barButton(const QString& symbol, const QString& tooltip, const QString& accessibleName, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setAutoRaise(true);  // borderless
    button->setToolTip(tooltip);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

}  // namespace

ItemList::ItemList(app::ProjectStore& store, app::ThumbLoader& loader, QWidget* parent)
    : QWidget(parent), store_(store) {
    setAccessibleName(QStringLiteral("Item list"));
    model_ = new ItemListModel(store_, loader, this);

    view_ = new QListView(this);
    view_->setAccessibleName(QStringLiteral("Items"));
    view_->setModel(model_);
    view_->setItemDelegate(new ItemRowDelegate(view_));
    // Every row has the same height, so the view never measures thousands of rows.
    view_->setUniformItemSizes(true);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setDragDropMode(QAbstractItemView::InternalMove);
    view_->setDefaultDropAction(Qt::MoveAction);
    view_->setDragEnabled(true);
    view_->setDropIndicatorShown(true);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setTextElideMode(Qt::ElideMiddle);

    model_->setVisibleRows([this] {
        const QRect area = view_->viewport()->rect();
        const QModelIndex top = view_->indexAt(area.topLeft());
        const QModelIndex bottom = view_->indexAt(QPoint(area.left(), area.bottom()));
        if (!top.isValid()) return std::pair<int, int>(0, -1);
        return std::pair<int, int>(top.row(), bottom.isValid() ? bottom.row() : model_->rowCount() - 1);
    });

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto* hint = new QLabel(QStringLiteral("Drag to reorder"), this);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    hint->setForegroundRole(QPalette::PlaceholderText);
    moveUp_ = barButton(QStringLiteral("go-up"), QStringLiteral("Move up (Alt+Ctrl+Up)"), QStringLiteral("Move up"), this);
    moveDown_ =
        barButton(QStringLiteral("go-down"), QStringLiteral("Move down (Alt+Ctrl+Down)"), QStringLiteral("Move down"), this);
    reload_ = barButton(QStringLiteral("view-refresh"), QStringLiteral("Look for new or removed files (Ctrl+R)"),
                        QStringLiteral("Look for new or removed files"), this);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(6);
    bar->setContentsMargins(10, 6, 10, 6);
    bar->addWidget(hint);
    bar->addStretch(1);
    bar->addWidget(moveUp_);
    bar->addWidget(moveDown_);
    bar->addWidget(reload_);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(view_, 1);
    column->addWidget(divider);
    column->addLayout(bar);

    // The buttons are never disabled: the store ignores moves without a selection or past the ends.
    connect(moveUp_, &QToolButton::clicked, &store_, [this] { store_.moveSelection(-1); });
    connect(moveDown_, &QToolButton::clicked, &store_, [this] { store_.moveSelection(+1); });
    connect(reload_, &QToolButton::clicked, &store_, [this] { store_.reload(); });

    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, &ItemList::selectionFromView);
    connect(&store_, &app::ProjectStore::selectionChanged, this, &ItemList::selectionFromStore);
    connect(model_, &QAbstractItemModel::modelReset, this, &ItemList::selectionFromStore);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &ItemList::selectionFromStore);
    selectionFromStore();
}

void ItemList::selectionFromStore() {
    if (syncing_) return;
    syncing_ = true;
    const auto& selection = store_.selection();
    const int row = selection ? model_->rowOf(*selection) : -1;
    QItemSelectionModel* selectionModel = view_->selectionModel();
    if (row < 0) {
        selectionModel->clear();
    } else if (selectionModel->currentIndex().row() != row || !selectionModel->isRowSelected(row)) {
        const QModelIndex index = model_->index(row);
        selectionModel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(index);
    }
    syncing_ = false;
}

void ItemList::selectionFromView() {
    if (syncing_) return;
    const QModelIndex current = view_->selectionModel()->currentIndex();
    const model::Item* item = current.isValid() ? model_->itemAt(current.row()) : nullptr;
    syncing_ = true;
    store_.setSelection(item ? std::optional<std::string>(item->fileName()) : std::nullopt);
    syncing_ = false;
}

}  // namespace lf::ui

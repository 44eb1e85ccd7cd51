#include "ui/item_list_model.hpp"

#include <QMimeData>

#include <algorithm>

#include "app/item_texts.hpp"

namespace lf::ui {

ItemListModel::ItemListModel(app::ProjectStore& store, app::ThumbLoader& loader, QObject* parent)
    : QAbstractListModel(parent), store_(store), loader_(loader) {
    connect(&store_, &app::ProjectStore::projectChanged, this, &ItemListModel::projectChanged);
    askTimer_.setSingleShot(true);
    askTimer_.setInterval(40);
    connect(&askTimer_, &QTimer::timeout, this, &ItemListModel::askForDrawnRows);
    projectChanged();
}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(items_.size());
}

const model::Item* ItemListModel::itemAt(int row) const {
    if (row < 0 || row >= int(items_.size())) return nullptr;
    return &items_[size_t(row)];
}

int ItemListModel::rowOf(const std::string& fileName) const {
    const auto found = rows_.find(fileName);
    return found == rows_.end() ? -1 : found->second;
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    const model::Item* item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
        case FileNameRole:
        case Qt::ToolTipRole:
            return QString::fromStdString(item->fileName());
        case SubtitleRole:
            return app::itemSubtitle(store_.caption(*item), item->kind);
        case Qt::AccessibleTextRole:
            return QString::fromStdString(item->fileName()) + QStringLiteral(", ") +
                   app::itemSubtitle(store_.caption(*item), item->kind);
        case KindRole:
            return int(item->kind);
        case ThumbRole: {
            // Asked by the delegate while it draws the row, so only rows on screen get here.
            if (item->kind == model::MediaKind::audio) return QImage();
            if (auto image = loader_.cached(*item, thumbPixels)) return *image;
            const QString key = app::ThumbLoader::cacheKey(*item, thumbPixels);
            if (thumbs_.contains(key)) return QImage();  // on its way, or failed for this version
            drawn_.insert(index.row());
            if (!askTimer_.isActive()) const_cast<QTimer&>(askTimer_).start();
            return QImage();
        }
        default:
            return {};
    }
}

void ItemListModel::askForDrawnRows() {
    const auto [first, last] = visibleRows_ ? visibleRows_() : std::pair<int, int>(0, rowCount() - 1);
    const QSet<int> rows = std::exchange(drawn_, {});
    for (int row : rows) {
        if (row < first || row > last) continue;  // scrolled away; drawn again, asked again
        const model::Item* item = itemAt(row);
        if (!item || item->kind == model::MediaKind::audio) continue;
        const QString key = app::ThumbLoader::cacheKey(*item, thumbPixels);
        if (thumbs_.contains(key) || loader_.cached(*item, thumbPixels)) continue;
        thumbs_.insert(key, Thumb::pending);
        ++requests_;
        loader_.request(*item, thumbPixels, this,
                        [this, key](std::optional<QImage> image) { thumbnailArrived(key, image.has_value()); });
    }
}

void ItemListModel::thumbnailArrived(const QString& key, bool decoded) {
    if (decoded) {
        thumbs_.remove(key);
    } else {
        thumbs_.insert(key, Thumb::failed);
    }
    // The key starts with the file's path; its row is found by the file name and is redrawn only
    // when it still shows that version of the file.
    const int cut = key.indexOf(u'#');
    const std::string path = key.left(cut).toStdString();
    const int row = rowOf(std::filesystem::path(path).filename().string());
    if (row < 0 || app::ThumbLoader::cacheKey(items_[size_t(row)], thumbPixels) != key) return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {ThumbRole});
}

void ItemListModel::projectChanged() {
    const auto& project = store_.project();
    std::vector<model::Item> fresh = project ? project->items : std::vector<model::Item>{};

    const auto sameNamesInOrder = [&] {
        if (fresh.size() != items_.size()) return false;
        for (size_t i = 0; i < fresh.size(); ++i) {
            if (fresh[i].url != items_[i].url) return false;
        }
        return true;
    };
    const auto sameNames = [&] {
        if (fresh.size() != items_.size()) return false;
        return std::all_of(fresh.begin(), fresh.end(),
                           [&](const model::Item& item) { return rows_.count(item.fileName()) == 1; });
    };
    const auto remember = [&] {
        items_ = std::move(fresh);
        rows_.clear();
        rows_.reserve(items_.size());
        for (size_t i = 0; i < items_.size(); ++i) rows_.emplace(items_[i].fileName(), int(i));
    };

    if (sameNamesInOrder()) {
        // Captions, dates or a file's version changed: redraw the rows, keep selection and scroll.
        remember();
        if (!items_.empty()) emit dataChanged(index(0), index(int(items_.size()) - 1));
    } else if (sameNames() && !items_.empty() && items_.front().url.parent_path() == fresh.front().url.parent_path()) {
        // A new order of the same items (a drag, a move, a sort): the selection follows its item.
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<std::string> names;
        names.reserve(before.size());
        for (const QModelIndex& old : before) names.push_back(items_[size_t(old.row())].fileName());
        remember();
        drawn_.clear();  // rows are drawn again at their new places
        QModelIndexList after;
        after.reserve(before.size());
        for (const std::string& name : names) after.append(index(rowOf(name)));
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    } else {
        beginResetModel();
        remember();
        thumbs_.clear();
        drawn_.clear();
        endResetModel();
    }
}

Qt::ItemFlags ItemListModel::flags(const QModelIndex& index) const {
    // Rows take no drops themselves: a drop lands between rows.
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

Qt::DropActions ItemListModel::supportedDropActions() const { return Qt::MoveAction; }
Qt::DropActions ItemListModel::supportedDragActions() const { return Qt::MoveAction; }

QStringList ItemListModel::mimeTypes() const { return {QString::fromLatin1(rowsMimeType)}; }

QMimeData* ItemListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid()) rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray encoded;
    for (int row : rows) encoded += QByteArray::number(row) + '\n';
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(rowsMimeType), encoded);
    return data;
}

bool ItemListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                    const QModelIndex& parent) const {
    return data && data->hasFormat(QString::fromLatin1(rowsMimeType)) && action == Qt::MoveAction;
}

bool ItemListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                 const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    std::vector<int> sources;
    for (const QByteArray& line : data->data(QString::fromLatin1(rowsMimeType)).split('\n')) {
        bool ok = false;
        const int source = line.toInt(&ok);
        if (ok && source >= 0 && source < rowCount()) sources.push_back(source);
    }
    if (sources.empty()) return false;
    // A drop on a row (rather than between two) puts the items before it; below the last row
    // appends them.
    int destination = row;
    if (destination < 0) destination = parent.isValid() ? parent.row() : rowCount();
    store_.moveItems(sources, std::clamp(destination, 0, rowCount()));
    // The store has reordered the list, which comes back here as a layout change; answering
    // "not dropped" keeps the view from removing the dragged rows itself.
    return false;
}

}  // namespace lf::ui

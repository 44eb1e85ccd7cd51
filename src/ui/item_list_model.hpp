#pragma once
// The open project's items as a Qt list model for the item list: one row per item in the
// project's order, with the file name, the line under it, the kind and the thumbnail. Thumbnails
// are asked for only when a row is drawn (so only for rows on screen), decoded on the thread pool
// by the shared ThumbLoader and announced with dataChanged when they arrive. Dragging rows hands
// their positions and the drop position to ProjectStore::moveItems.
#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>
#include <utility>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/project_store.hpp"
#include "app/thumb_loader.hpp"
#include "model/item.hpp"

namespace lf::ui {

class ItemListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        SubtitleRole = Qt::UserRole + 1,  // QString: kind word or the caption's first line
        KindRole,                         // int: model::MediaKind
        ThumbRole,                        // QImage, null while absent (the view draws the placeholder)
        FileNameRole,                     // QString
    };
    // Side of the row thumbnail in points; decoded at two pixels a point.
    static constexpr int thumbSide = 40;
    static constexpr int thumbPixels = thumbSide * 2;
    // The MIME type of dragged rows; its data is the rows' positions, one decimal per line.
    static constexpr const char* rowsMimeType = "application/x-lanternfold-item-rows";

    explicit ItemListModel(app::ProjectStore& store, app::ThumbLoader& loader = app::ThumbLoader::shared(),
                           QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The row of the item with that file name; -1 when there is none.
    int rowOf(const std::string& fileName) const;
    const model::Item* itemAt(int row) const;

    // How many thumbnail decodes rows have asked for (the benchmark and tests watch it).
    int thumbnailRequests() const { return requests_; }

    // The rows on screen now, first and last (inclusive). Drawn rows are asked for together a
    // moment after drawing, and only those still on screen then: a fast scroll through thousands
    // of rows decodes what the person stops at, not everything that flew past. Without it every
    // drawn row is asked for.
    void setVisibleRows(std::function<std::pair<int, int>()> visibleRows) { visibleRows_ = std::move(visibleRows); }

private:
    void projectChanged();
    void thumbnailArrived(const QString& key, bool decoded);
    void askForDrawnRows();

    app::ProjectStore& store_;
    app::ThumbLoader& loader_;
    std::vector<model::Item> items_;
    std::unordered_map<std::string, int> rows_;  // by file name
    // Keys being decoded, and keys whose decode failed: a failed row keeps its placeholder and is
    // not asked again until its file changes (its key with it).
    enum class Thumb { pending, failed };
    mutable QHash<QString, Thumb> thumbs_;
    mutable int requests_ = 0;
    std::function<std::pair<int, int>()> visibleRows_;
    mutable QSet<int> drawn_;  // rows drawn without their thumbnail since the last ask
    QTimer askTimer_;
};

}  // namespace lf::ui

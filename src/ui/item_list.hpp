#pragma once
// The item list of the main window: the open folder's items in their order, with thumbnails, the
// selection bound to the store both ways, drag-and-drop reordering, and a bar with "Drag to
// reorder" and the Move up, Move down and reload buttons.
#include <QWidget>

#include "app/project_store.hpp"
#include "app/thumb_loader.hpp"

class QListView;
class QToolButton;

namespace lf::ui {

class ItemListModel;

class ItemList : public QWidget {
    Q_OBJECT
public:
    explicit ItemList(app::ProjectStore& store, app::ThumbLoader& loader = app::ThumbLoader::shared(),
                      QWidget* parent = nullptr);

    QListView* view() const { return view_; }
    ItemListModel* model() const { return model_; }
    QToolButton* moveUpButton() const { return moveUp_; }
    QToolButton* moveDownButton() const { return moveDown_; }
    QToolButton* reloadButton() const { return reload_; }

private:
    void selectionFromStore();
    void selectionFromView();

    app::ProjectStore& store_;
    ItemListModel* model_ = nullptr;
    QListView* view_ = nullptr;
    QToolButton* moveUp_ = nullptr;
    QToolButton* moveDown_ = nullptr;
    QToolButton* reload_ = nullptr;
    bool syncing_ = false;
};

}  // namespace lf::ui

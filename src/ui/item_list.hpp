#pragma once
// Placeholder until the real pane lands: The list of the folder’s pictures, movies and sounds. The main window inserts it in one place
// (MainWindow::makePanes), so the real widget replaces this class without other changes.
#include <QWidget>

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class ItemList : public QWidget {
    Q_OBJECT
public:
    explicit ItemList(app::ProjectStore& store, QWidget* parent = nullptr);
};

}  // namespace lf::ui

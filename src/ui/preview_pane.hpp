#pragma once
// Placeholder until the real pane lands: The preview of the selected item. The main window inserts it in one place
// (MainWindow::makePanes), so the real widget replaces this class without other changes.
#include <QWidget>

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(app::ProjectStore& store, QWidget* parent = nullptr);
};

}  // namespace lf::ui

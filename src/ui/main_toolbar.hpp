#pragma once
// The toolbar of the main window: the folder's name and item count on the left, then the five main
// actions "Home Page", "Open Folder", "View Gallery", "Publish" and "Build Gallery". "Build Gallery"
// always shows its text; the others show their icon only, with their text as tooltip and
// accessible name.
#include <QToolBar>

class QAction;
class QLabel;

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class ElidedLabel;

class MainToolbar : public QToolBar {
    Q_OBJECT
public:
    explicit MainToolbar(app::ProjectStore& store, QWidget* parent = nullptr);

    QAction* homePage = nullptr;
    QAction* openFolder = nullptr;
    QAction* viewGallery = nullptr;
    QAction* publish = nullptr;
    QAction* buildGallery = nullptr;
    ElidedLabel* title = nullptr;
    QLabel* itemCount = nullptr;

signals:
    void homePageRequested();

private:
    void refresh();

    app::ProjectStore& store_;
};

}  // namespace lf::ui

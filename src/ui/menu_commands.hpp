#pragma once
// The menu bar of the main window: File (Open Folder…, Open Recent, Quit), Gallery (build, publish,
// stop, view, show, reload, move) and Window (Home Page, Minimize). Every item calls one store
// operation or opens the Home Page window; its enabled state follows the store's signals.
#include <QObject>

class QAction;
class QMainWindow;
class QMenu;

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class MenuCommands : public QObject {
    Q_OBJECT
public:
    // Builds the menus into window's menu bar.
    MenuCommands(app::ProjectStore& store, QMainWindow& window);

    QAction* openFolder = nullptr;
    QMenu* openRecent = nullptr;
    QAction* quit = nullptr;
    QAction* buildGallery = nullptr;
    QAction* publishCloudflare = nullptr;
    QAction* uploadFTP = nullptr;
    QAction* stopBuilding = nullptr;
    QAction* viewInBrowser = nullptr;
    QAction* showInFileManager = nullptr;
    QAction* reloadFolder = nullptr;
    QAction* moveUp = nullptr;
    QAction* moveDown = nullptr;
    QAction* homePage = nullptr;
    QAction* minimize = nullptr;

signals:
    // "Home Page" was chosen: the app shell opens the window or brings it to the front.
    void homePageRequested();

private:
    void refresh();
    void fillRecent();

    app::ProjectStore& store_;
};

}  // namespace lf::ui

#pragma once
// The settings pane on the right of the main window: the tabs "Gallery", "Pictures" and "Publish".
#include <QTabWidget>

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class GalleryTab;
class PicturesTab;
class PublishTab;

class SettingsPane : public QTabWidget {
    Q_OBJECT
public:
    explicit SettingsPane(app::ProjectStore& store, QWidget* parent = nullptr);

    GalleryTab* gallery;
    PicturesTab* pictures;
    PublishTab* publish;
};

}  // namespace lf::ui

#include "ui/settings_pane.hpp"

#include "ui/gallery_tab.hpp"
#include "ui/pictures_tab.hpp"
#include "ui/publish_tab.hpp"

namespace lf::ui {

SettingsPane::SettingsPane(app::ProjectStore& store, QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("settings"));
    setAccessibleName(QStringLiteral("Settings"));
    setDocumentMode(true);
    gallery = new GalleryTab(store, this);
    pictures = new PicturesTab(store, this);
    publish = new PublishTab(store, this);
    addTab(gallery, QStringLiteral("Gallery"));
    addTab(pictures, QStringLiteral("Pictures"));
    addTab(publish, QStringLiteral("Publish"));
}

}  // namespace lf::ui

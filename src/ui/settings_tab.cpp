#include "ui/settings_tab.hpp"

#include <QVBoxLayout>

#include "app/project_store.hpp"
#include "ui/settings_form.hpp"

namespace lf::ui {

SettingsTab::SettingsTab(app::ProjectStore& store, QWidget* parent) : QScrollArea(parent), store_(store) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column_ = new QWidget(this);
    layout_ = new QVBoxLayout(column_);
    layout_->setContentsMargins(12, 12, 12, 12);
    layout_->setSpacing(12);
    setWidget(column_);
    connect(&store_, &app::ProjectStore::projectChanged, this, &SettingsTab::runRefresh);
    connect(&store_, &app::ProjectStore::settingsChanged, this, &SettingsTab::runRefresh);
}

FormSection* SettingsTab::addSection(const QString& title) {
    auto* section = new FormSection(title, column_);
    layout_->addWidget(section);
    return section;
}

void SettingsTab::finish() {
    layout_->addStretch(1);
    runRefresh();
}

void SettingsTab::edit(const std::function<void(model::GallerySettings&)>& change) {
    if (refreshing_ || !store_.project()) return;
    model::GallerySettings settings = store_.settings();
    change(settings);
    if (settings == store_.settings()) return;
    store_.setSettings(settings);
}

void SettingsTab::runRefresh() {
    refreshing_ = true;
    refresh();
    refreshing_ = false;
}

}  // namespace lf::ui

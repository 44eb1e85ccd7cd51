#pragma once
// What the three settings tabs share: a scrolling column of sections, a refresh whenever the store's
// project or settings change, and one way to change the settings (read, change a copy, write back).
#include <functional>

#include <QScrollArea>

class QVBoxLayout;

namespace lf::app {
class ProjectStore;
}
namespace lf::model {
struct GallerySettings;
}

namespace lf::ui {

class FormSection;

class SettingsTab : public QScrollArea {
    Q_OBJECT
public:
    SettingsTab(app::ProjectStore& store, QWidget* parent);

protected:
    // Adds a section at the bottom of the column.
    FormSection* addSection(const QString& title);
    // Ends the column; called once all sections are in, then refreshes the controls.
    void finish();
    // Changes the open project's settings through the store; nothing happens without a project, and
    // edits made while the controls are being refreshed from the store are ignored.
    void edit(const std::function<void(model::GallerySettings&)>& change);
    // Shows the store's current values in the controls.
    virtual void refresh() = 0;
    // Call refresh() when any of the given store signals fires.
    template <typename... Changes>
    void refreshOn(Changes... changes) {
        (connect(&store_, changes, this, &SettingsTab::runRefresh), ...);
    }
    bool refreshing() const { return refreshing_; }

    app::ProjectStore& store_;
    QWidget* column_;

private:
    void runRefresh();
    QVBoxLayout* layout_;
    bool refreshing_ = false;
};

}  // namespace lf::ui

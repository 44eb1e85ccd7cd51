#pragma once
// The folder panel of the desktop: a QFileDialog that chooses one folder. The app shell hands it to
// the ProjectStore, which decides what is asked and what the choice means.
#include <QPointer>
#include <QWidget>

#include "app/folder_chooser.hpp"

namespace lf::ui {

class FolderDialogChooser : public app::FolderChooser {
public:
    // The panel is shown over parent (a window), or on its own without one.
    explicit FolderDialogChooser(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::filesystem::path> chooseFolder(const app::FolderRequest& request) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace lf::ui

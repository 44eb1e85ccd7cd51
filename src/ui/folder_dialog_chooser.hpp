#pragma once
// The folder-choosing panel over QFileDialog, handed to the store by the app shell.
#include <QPointer>
#include <QWidget>

#include "app/folder_chooser.hpp"

namespace lf::ui {

class FolderDialogChooser : public app::FolderChooser {
public:
    explicit FolderDialogChooser(QWidget* window) : window_(window) {}
    std::optional<std::filesystem::path> chooseFolder(const app::FolderRequest& request) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace lf::ui

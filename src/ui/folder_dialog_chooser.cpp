#include "ui/folder_dialog_chooser.hpp"

#include <QFileDialog>

namespace lf::ui {

std::optional<std::filesystem::path> FolderDialogChooser::chooseFolder(const app::FolderRequest& request) {
    QFileDialog dialog(window_, request.message);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    dialog.setLabelText(QFileDialog::Accept, request.button);
    if (!request.startFolder.empty()) dialog.setDirectory(QString::fromStdString(request.startFolder.string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

}  // namespace lf::ui

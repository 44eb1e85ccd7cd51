#include "ui/folder_dialog_chooser.hpp"

#include <QFileDialog>
#include <QStringList>

namespace lf::ui {

std::optional<std::filesystem::path> FolderDialogChooser::chooseFolder(const app::FolderRequest& request) {
    QFileDialog dialog(parent_, request.message, QString::fromStdString(request.startFolder.string()));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // A read-only panel offers no "Create Folder".
    dialog.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    dialog.setLabelText(QFileDialog::Accept, request.button);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return std::filesystem::path(chosen.front().toStdString());
}

}  // namespace lf::ui

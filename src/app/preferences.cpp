#include "app/preferences.hpp"

#include <system_error>

#include <QString>

namespace lf::app {

namespace {

namespace fs = std::filesystem;

const QString lastFolderKey = QStringLiteral("LastFolder");
const QString recentFoldersKey = QStringLiteral("RecentFolders");

bool isFolder(const QString& path) {
    std::error_code code;
    return !path.isEmpty() && fs::is_directory(fs::path(path.toStdString()), code);
}

}  // namespace

Preferences::Preferences()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Lanternfold"),
                                            QStringLiteral("Lanternfold"))) {}

fs::path Preferences::lastFolder() const { return fs::path(settings_->value(lastFolderKey).toString().toStdString()); }

QStringList Preferences::recentFolders() const {
    QStringList folders;
    for (const QString& folder : settings_->value(recentFoldersKey).toStringList()) {
        if (isFolder(folder) && !folders.contains(folder)) folders.append(folder);
    }
    return folders;
}

void Preferences::rememberOpenedFolder(const fs::path& folder) {
    const QString path = QString::fromStdString(folder.string());
    settings_->setValue(lastFolderKey, path);
    QStringList folders = recentFolders();
    folders.removeAll(path);
    folders.prepend(path);
    while (folders.size() > maxRecentFolders) folders.removeLast();
    settings_->setValue(recentFoldersKey, folders);
    settings_->sync();
}

}  // namespace lf::app

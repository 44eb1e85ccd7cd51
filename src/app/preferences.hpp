#pragma once
// The user preferences of the program: QSettings in INI format under organization and application
// "Lanternfold" ($XDG_CONFIG_HOME/Lanternfold/Lanternfold.conf). The store keeps the last folder
// opened ("LastFolder") and the folders opened lately ("RecentFolders") there; the home page keeps
// its settings under "HomePage".
#include <filesystem>
#include <memory>

#include <QSettings>
#include <QStringList>

namespace lf::app {

class Preferences {
public:
    Preferences();

    // The user's preferences file, for keys this class does not wrap.
    QSettings& settings() { return *settings_; }

    // "LastFolder" as stored, possibly a folder that is gone; empty when there is none.
    std::filesystem::path lastFolder() const;

    // "RecentFolders", most recent first, without folders that no longer exist.
    QStringList recentFolders() const;

    // A folder was opened: it becomes "LastFolder" and moves to the front of "RecentFolders", which
    // keeps at most maxRecentFolders entries and drops folders that are gone.
    void rememberOpenedFolder(const std::filesystem::path& folder);

    static constexpr int maxRecentFolders = 10;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace lf::app

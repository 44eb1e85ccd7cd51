#pragma once
// ProjectStore: the one controller object of the main window. It holds the open project and
// everything the views show about it (selection, busy flags, progress, status line, alert,
// passwords) and performs every user action on the project. It lives on the main thread; views read
// its getters, redraw on its change signals and call its operations, and never poll. Slow work
// (opening a folder, reading photo details, building and publishing) runs on the thread pool on
// copies, and its results come back to the main thread by queued calls.
//
// Every published field has a getter and exactly one change signal, emitted only when the value
// really changed. The derived values (selectedItem, settings, outputFolder, effectiveSiteName)
// follow projectChanged and selectionChanged; settingsChanged is an extra, narrower signal for the
// settings views, emitted when the open project's settings (or the absence of a project) change.
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "app/build_flow.hpp"
#include "app/folder_chooser.hpp"
#include "app/workspace.hpp"
#include "model/gallery_settings.hpp"
#include "model/item.hpp"
#include "model/photo_details.hpp"
#include "model/project.hpp"

namespace lf::app {

// Whether a failed save is shown to the user.
enum class SaveErrors {
    shown,  // before a build: the alert "Couldn’t save settings in the pictures folder: …"
    quiet,  // autosave, quitting, the save before opening another folder
};

class ProjectStore : public QObject {
    Q_OBJECT

public:
    // Reads the Cloudflare token from the keyring and sets up the autosave. The folder chooser and
    // workspace can be replaced later (the app shell injects the widget chooser; tests use fakes);
    // without a chooser, the operations that need one do nothing.
    explicit ProjectStore(QObject* parent = nullptr);
    ~ProjectStore() override;

    void setFolderChooser(std::shared_ptr<FolderChooser> chooser);
    void setWorkspace(std::shared_ptr<Workspace> workspace);  // SystemWorkspace by default
    // The slow steps of a build (BuildOperations::standard() by default); tests put in their own.
    void setBuildOperations(BuildOperations operations);

    // ---- Published fields -------------------------------------------------------------------
    const std::optional<model::Project>& project() const { return project_; }
    const std::optional<std::string>& selection() const { return selection_; }  // a fileName
    bool isOpening() const { return isOpening_; }
    bool isReadingDetails() const { return isReadingDetails_; }
    bool isBuilding() const { return isBuilding_; }
    double progress() const { return progress_; }  // 0…1
    const QString& status() const { return status_; }
    const std::optional<QString>& alertMessage() const { return alertMessage_; }
    const QString& password() const { return password_; }                // FTP password
    const QString& cloudflareToken() const { return cloudflareToken_; }  // as typed or stored
    const QString& galleryPassword() const { return galleryPassword_; }

    // Replaces the project whole. Changes of its saved part are written about one second later.
    void setProject(std::optional<model::Project> project);
    void setSelection(std::optional<std::string> fileName);
    void setPassword(const QString& password);
    void setCloudflareToken(const QString& token);
    // Stored in the keyring for the effective site name when it changes (not while it is loaded).
    void setGalleryPassword(const QString& password);
    // The main window clears the alert once it was shown (dismissAlert is the same as setting none).
    void setAlertMessage(std::optional<QString> message);
    void dismissAlert() { setAlertMessage(std::nullopt); }

    // ---- Derived values -------------------------------------------------------------------
    // The project's item whose fileName is the selection; nothing without project, selection or item.
    std::optional<model::Item> selectedItem() const;
    // The open project's settings, or the defaults without a project.
    model::GallerySettings settings() const;
    // Replaces the open project's settings; does nothing without a project.
    void setSettings(const model::GallerySettings& settings);
    // Where the gallery is built; empty without a project.
    std::filesystem::path outputFolder() const;
    // cfSiteName, or the name suggested from the title; "" without a project.
    std::string effectiveSiteName() const;
    // The folders opened lately, most recent first, at most 10, those gone from the disk left out.
    QStringList recentFolders() const;

    // ---- Operations (main thread) -----------------------------------------------------------
    // The folder panel ("Open"), then open.
    void openFolder();
    // Opens a pictures folder; ignored while a build or another open runs.
    void open(const std::filesystem::path& folder);
    // A dropped folder, or the folder of a dropped file; nothing when it does not exist.
    void openDropped(const std::filesystem::path& location);
    // At start, without an open project: reopens "LastFolder" when it still exists, silently otherwise.
    void restoreLastFolder();
    // Reload Folder: rescans the open folder, keeping details already read.
    void reload();
    // Reads the photo details not read yet, 20 files at a time on the thread pool.
    void readDetails();
    // The caption shown and edited for an item: the typed one (even empty), else the picture's own.
    QString caption(const model::Item& item) const;
    // Stores a typed caption, also an empty one (which hides the picture's own caption).
    void setCaption(const QString& text, const model::Item& item);
    // Drag reordering: the items at sources move to destination (list-move semantics: destination
    // counts positions before the move). The order becomes manual and holds every file name.
    void moveItems(const std::vector<int>& sources, int destination);
    // Move Item Up (-1) / Move Item Down (+1) for the selected item.
    void moveSelection(int delta);
    // "name", "date" or "manual"; switching to manual keeps the order on screen.
    void setSort(const std::string& value);
    void setReverse(bool reverse);
    // The output panel ("Choose"); the pictures folder itself is refused with an alert.
    void chooseOutputFolder();
    // Shows the output folder in the file manager, or the alert "Build the gallery first.".
    void showInFinder();
    // Opens the built index page, or the alert "Build the gallery first.".
    void openInBrowser();
    // Writes the project file now; with SaveErrors::shown a failure becomes the alert.
    void saveNow(SaveErrors errors = SaveErrors::quiet);
    // Build Gallery / Build and Upload by FTP / Build and Publish to Cloudflare.
    void build(Destination destination);
    // Stop Building: the build ends at its next cancellation point with "Stopped.".
    void stopBuilding();

signals:
    void projectChanged();
    void selectionChanged();
    void isOpeningChanged();
    void isReadingDetailsChanged();
    void isBuildingChanged();
    void progressChanged();
    void statusChanged();
    void alertMessageChanged();
    void passwordChanged();
    void cloudflareTokenChanged();
    void galleryPasswordChanged();
    void settingsChanged();
    void recentFoldersChanged();

private:
    void setIsOpening(bool value);
    void setIsReadingDetails(bool value);
    void setIsBuilding(bool value);
    void setProgress(double value);
    void setStatus(const QString& text);
    void finishOpening(std::optional<model::Project> project, const std::filesystem::path& location);
    void finishReload(const std::filesystem::path& folder, std::vector<model::Item> items);
    void loadGalleryPassword();
    void cancelDetails();
    struct DetailsRun;
    struct Link;
    void readNextDetailsBatch(const std::shared_ptr<DetailsRun>& run);
    void applyDetailsBatch(const std::shared_ptr<DetailsRun>& run, const std::vector<model::Details>& results);
    void scheduleAutosave();
    void autosave();
    void rememberFolder(const std::filesystem::path& folder);
    void finishBuild(const BuildOutcome& outcome, Destination destination, bool openBrowser);
    void recordPublished(const publish::cloudflare::PublishResult& result);

    std::optional<model::Project> project_;
    std::optional<std::string> selection_;
    bool isOpening_ = false;
    bool isReadingDetails_ = false;
    bool isBuilding_ = false;
    double progress_ = 0;
    QString status_;
    std::optional<QString> alertMessage_;
    QString password_;
    QString cloudflareToken_;
    QString galleryPassword_;

    bool loadingGalleryPassword_ = false;
    std::optional<model::PersistedState> savedPart_;  // the last value the autosave saw
    QTimer autosaveTimer_;
    std::shared_ptr<DetailsRun> detailsRun_;   // the running photo-detail reader
    std::optional<std::stop_source> buildStop_;       // the running build
    // Reports of background work reach the store through this: a report arriving after the store
    // is gone finds it empty and does nothing. Read on the main thread only.
    std::shared_ptr<Link> link_;

    std::shared_ptr<FolderChooser> chooser_;
    std::shared_ptr<Workspace> workspace_;
    BuildOperations operations_;
};

}  // namespace lf::app

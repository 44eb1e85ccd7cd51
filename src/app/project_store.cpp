#include "app/project_store.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>

#include "app/keychain.hpp"
#include "app/preferences.hpp"
#include "model/photo_details.hpp"
#include "platform/files.hpp"

namespace lf::app {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;

// The store as background work sees it. Reports are posted to the main thread and look the store up
// there; once the store is gone the pointer is empty and the report does nothing.
struct ProjectStore::Link {
    QPointer<ProjectStore> store;
};

// One run of the photo-detail reader: the folder it reads for, the files still to read, and the
// flag a newer run or a new folder sets to make it stop.
struct ProjectStore::DetailsRun {
    fs::path folder;
    std::vector<fs::path> files;
    size_t next = 0;
    std::atomic<bool> cancelled{false};
};

namespace {

constexpr int autosaveDelayMs = 1000;
constexpr size_t detailsBatchSize = 20;

QString qt(const std::string& text) { return QString::fromStdString(text); }

// Runs an action on the main thread with the store, if the store still exists by then. Callable
// from any thread; never waits.
// Everything background work hands back goes this one way, never as a direct call: results and
// progress reports then reach the store in the order they were sent, and a result never arrives in
// the middle of the operation that started the work, however quickly the work was done.
template <typename LinkPointer, typename Action>
void postToStore(const LinkPointer& link, Action action) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return;
    QMetaObject::invokeMethod(
        application,
        [link, action = std::move(action)]() mutable {
            if (ProjectStore* store = link->store.data()) action(*store);
        },
        Qt::QueuedConnection);
}

// Builds run long, so they get their own pool: a build must never hold up opening a folder or
// reading photo details, which use the global pool. It belongs to the application object, so it
// waits for a stopping build when the program ends.
QThreadPool& buildPool() {
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(2);
    }
    return *pool;
}

// False for a file whose contents are not on this disk: a placeholder of a cloud-storage client
// takes no blocks although it has a size. Opening it would make the client download it, so
// browsing a folder never does. When the file system cannot tell, the file counts as present.
bool contentsAreLocal(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return true;
    return !(info.st_blocks == 0 && info.st_size > 0);
}

std::vector<model::Details> readDetailsBatch(const std::vector<fs::path>& files, const std::atomic<bool>& cancelled) {
    std::vector<model::Details> results;
    for (const fs::path& file : files) {
        if (cancelled) break;
        if (!contentsAreLocal(file)) continue;
        const model::PhotoDetails details = model::readPhotoDetails(file);
        results.push_back({file.filename().string(), details.date, details.caption});
    }
    return results;
}

std::vector<std::string> fileNames(const std::vector<model::Item>& items) {
    std::vector<std::string> names;
    names.reserve(items.size());
    for (const model::Item& item : items) names.push_back(item.fileName());
    return names;
}

}  // namespace

ProjectStore::ProjectStore(QObject* parent)
    : QObject(parent),
      link_(std::make_shared<Link>()),
      workspace_(std::make_shared<SystemWorkspace>()),
      operations_(BuildOperations::standard()) {
    link_->store = this;
    cloudflareToken_ = qt(Keychain().cloudflareToken().value_or(""));
    autosaveTimer_.setSingleShot(true);
    autosaveTimer_.setInterval(autosaveDelayMs);
    connect(&autosaveTimer_, &QTimer::timeout, this, &ProjectStore::autosave);
}

ProjectStore::~ProjectStore() {
    // Background work keeps running on its own copies; it is told to stop, and whatever it still
    // reports finds no store.
    if (buildStop_) buildStop_->request_stop();
    cancelDetails();
    link_->store = nullptr;
}

void ProjectStore::setFolderChooser(std::shared_ptr<FolderChooser> chooser) { chooser_ = std::move(chooser); }

void ProjectStore::setWorkspace(std::shared_ptr<Workspace> workspace) { workspace_ = std::move(workspace); }

void ProjectStore::setBuildOperations(BuildOperations operations) { operations_ = std::move(operations); }

// ---- Published fields ---------------------------------------------------------------------------

void ProjectStore::setProject(std::optional<model::Project> project) {
    if (project == project_) return;
    const bool settingsDiffer = (project ? project->settings : model::GallerySettings()) != settings();
    project_ = std::move(project);
    emit projectChanged();
    if (settingsDiffer) emit settingsChanged();
    scheduleAutosave();
}

void ProjectStore::setSelection(std::optional<std::string> fileName) {
    if (fileName == selection_) return;
    selection_ = std::move(fileName);
    emit selectionChanged();
}

void ProjectStore::setPassword(const QString& password) {
    if (password == password_) return;
    password_ = password;
    emit passwordChanged();
}

void ProjectStore::setCloudflareToken(const QString& token) {
    if (token == cloudflareToken_) return;
    cloudflareToken_ = token;
    emit cloudflareTokenChanged();
}

void ProjectStore::setGalleryPassword(const QString& password) {
    if (password == galleryPassword_) return;
    galleryPassword_ = password;
    emit galleryPasswordChanged();
    // Loading puts the stored value in; only what the user types goes back to the keyring.
    if (!loadingGalleryPassword_) Keychain().storeGalleryPassword(password.toStdString(), effectiveSiteName());
}

void ProjectStore::setAlertMessage(std::optional<QString> message) {
    if (message == alertMessage_) return;
    alertMessage_ = std::move(message);
    emit alertMessageChanged();
}

void ProjectStore::setIsOpening(bool value) {
    if (value == isOpening_) return;
    isOpening_ = value;
    emit isOpeningChanged();
}

void ProjectStore::setIsReadingDetails(bool value) {
    if (value == isReadingDetails_) return;
    isReadingDetails_ = value;
    emit isReadingDetailsChanged();
}

void ProjectStore::setIsBuilding(bool value) {
    if (value == isBuilding_) return;
    isBuilding_ = value;
    emit isBuildingChanged();
}

void ProjectStore::setProgress(double value) {
    if (value == progress_) return;
    progress_ = value;
    emit progressChanged();
}

void ProjectStore::setStatus(const QString& text) {
    if (text == status_) return;
    status_ = text;
    emit statusChanged();
}

// ---- Derived values -----------------------------------------------------------------------------

std::optional<model::Item> ProjectStore::selectedItem() const {
    if (!project_ || !selection_) return std::nullopt;
    for (const model::Item& item : project_->items) {
        if (item.fileName() == *selection_) return item;
    }
    return std::nullopt;
}

model::GallerySettings ProjectStore::settings() const { return project_ ? project_->settings : model::GallerySettings(); }

void ProjectStore::setSettings(const model::GallerySettings& settings) {
    if (!project_) return;
    model::Project changed = *project_;
    changed.settings = settings;
    setProject(std::move(changed));
}

fs::path ProjectStore::outputFolder() const { return project_ ? project_->outputFolder() : fs::path(); }

std::string ProjectStore::effectiveSiteName() const {
    return project_ ? app::effectiveSiteName(project_->settings) : std::string();
}

QStringList ProjectStore::recentFolders() const { return Preferences().recentFolders(); }

// ---- Opening ------------------------------------------------------------------------------------

void ProjectStore::openFolder() {
    if (!chooser_) return;
    FolderRequest request;
    request.message = QStringLiteral("Choose a folder of pictures, movies and sounds");
    request.button = QStringLiteral("Open");
    if (const std::optional<fs::path> folder = chooser_->chooseFolder(request)) open(*folder);
}

void ProjectStore::open(const fs::path& folder) {
    if (isBuilding_ || isOpening_) return;
    if (project_) saveNow(SaveErrors::quiet);
    cancelDetails();

    std::error_code code;
    const fs::path location = platform::standardized(fs::absolute(folder, code));
    setIsOpening(true);
    setStatus(QStringLiteral("Opening “%1”…").arg(qt(location.filename().string())));
    // Reading the project file and listing the folder touch the disk, so they happen off the main
    // thread; the store takes the finished project whole.
    QThreadPool::globalInstance()->start([link = link_, location]() {
        std::optional<model::Project> project;
        try {
            project.emplace(location);
        } catch (const std::exception&) {
            // Making a project does not fail for an unreadable folder; this is the last resort for
            // anything unforeseen (no memory), so that the window never stays in "Opening…".
        }
        postToStore(link, [project = std::move(project), location](ProjectStore& store) mutable {
            store.finishOpening(std::move(project), location);
        });
    });
}

void ProjectStore::finishOpening(std::optional<model::Project> opened, const fs::path& location) {
    if (!opened) {
        setIsOpening(false);
        setStatus(QStringLiteral("No pictures, movies or sounds in “%1”.").arg(qt(location.filename().string())));
        return;
    }
    model::Project& project = *opened;
    const QString name = qt(project.folder.filename().string());
    const fs::path folder = project.folder;
    const size_t count = project.items.size();
    std::optional<std::string> first;
    if (!project.items.empty()) first = project.items.front().fileName();

    setIsOpening(false);
    setProject(std::move(project));
    setSelection(first);
    loadGalleryPassword();
    if (count > 0) {
        setStatus(QStringLiteral("%1 items in “%2”").arg(count).arg(name));
    } else {
        setStatus(QStringLiteral("No pictures, movies or sounds in “%1”.").arg(name));
    }
    rememberFolder(folder);
    readDetails();
}

void ProjectStore::loadGalleryPassword() {
    const Keychain keychain;
    loadingGalleryPassword_ = true;
    const std::string siteName = effectiveSiteName();
    setGalleryPassword(siteName.empty() ? QString() : qt(keychain.galleryPassword(siteName).value_or("")));
    loadingGalleryPassword_ = false;

    // Host and user exactly as stored: the keyring item was made with them that way.
    const model::GallerySettings current = settings();
    if (!current.ftpHost.empty() && !current.ftpUser.empty()) {
        setPassword(qt(keychain.ftpPassword(current.ftpHost, current.ftpUser).value_or("")));
    } else {
        setPassword(QString());
    }
}

void ProjectStore::rememberFolder(const fs::path& folder) {
    Preferences().rememberOpenedFolder(folder);
    emit recentFoldersChanged();
}

void ProjectStore::openDropped(const fs::path& location) {
    std::error_code code;
    if (!fs::exists(location, code)) return;
    if (fs::is_directory(location, code)) {
        open(location);
    } else {
        open(fs::absolute(location, code).parent_path());
    }
}

void ProjectStore::restoreLastFolder() {
    if (project_) return;
    const fs::path folder = Preferences().lastFolder();
    std::error_code code;
    // A folder that was moved or deleted since is forgotten silently.
    if (!folder.empty() && fs::is_directory(folder, code)) open(folder);
}

void ProjectStore::reload() {
    if (!project_ || isOpening_) return;
    // Listing the folder touches the disk, so the rescan runs on a copy off the main thread; the new
    // item list is then put into the project as it stands by then, so that edits made meanwhile stay.
    QThreadPool::globalInstance()->start([link = link_, copy = *project_]() mutable {
        copy.reloadItems();
        postToStore(link, [folder = copy.folder, items = std::move(copy.items)](ProjectStore& store) mutable {
            store.finishReload(folder, std::move(items));
        });
    });
}

void ProjectStore::finishReload(const fs::path& folder, std::vector<model::Item> items) {
    if (!project_ || project_->folder != folder) return;
    model::Project reloaded = *project_;
    reloaded.items = std::move(items);
    reloaded.sortItems();
    const size_t count = reloaded.items.size();
    std::optional<std::string> first;
    if (!reloaded.items.empty()) first = reloaded.items.front().fileName();
    bool selectionFound = false;
    if (selection_) {
        for (const model::Item& item : reloaded.items) selectionFound = selectionFound || item.fileName() == *selection_;
    }
    setProject(std::move(reloaded));
    if (selection_ && !selectionFound) setSelection(first);
    setStatus(QStringLiteral("%1 items").arg(count));
    readDetails();
}

// ---- Photo details ------------------------------------------------------------------------------

void ProjectStore::cancelDetails() {
    if (detailsRun_) {
        detailsRun_->cancelled = true;
        detailsRun_.reset();
    }
}

void ProjectStore::readDetails() {
    cancelDetails();
    std::vector<fs::path> files;
    if (project_) {
        for (const model::Item& item : project_->items) {
            if (!item.metadataLoaded) files.push_back(item.url);
        }
    }
    if (files.empty()) {
        // A run cancelled to make way for this one leaves the flag to its successor; when there is
        // nothing to read, this is where it is cleared, or the window would show it forever.
        setIsReadingDetails(false);
        return;
    }
    auto run = std::make_shared<DetailsRun>();
    run->folder = project_->folder;
    run->files = std::move(files);
    detailsRun_ = run;
    setIsReadingDetails(true);
    readNextDetailsBatch(run);
}

void ProjectStore::readNextDetailsBatch(const std::shared_ptr<DetailsRun>& run) {
    const size_t end = std::min(run->files.size(), run->next + detailsBatchSize);
    std::vector<fs::path> batch(run->files.begin() + static_cast<std::ptrdiff_t>(run->next),
                                run->files.begin() + static_cast<std::ptrdiff_t>(end));
    run->next = end;
    QThreadPool::globalInstance()->start([link = link_, batch = std::move(batch), run]() {
        std::vector<model::Details> results = readDetailsBatch(batch, run->cancelled);
        postToStore(link, [run, results = std::move(results)](ProjectStore& store) {
            store.applyDetailsBatch(run, results);
        });
    });
}

void ProjectStore::applyDetailsBatch(const std::shared_ptr<DetailsRun>& run, const std::vector<model::Details>& results) {
    // A newer run (or a new folder) has taken over and owns the busy flag.
    if (run->cancelled) return;
    if (!project_ || project_->folder != run->folder) {
        detailsRun_.reset();
        setIsReadingDetails(false);
        return;
    }
    std::map<std::string, const model::Details*> byName;
    for (const model::Details& details : results) byName[details.name] = &details;  // the last one wins
    model::Project updated = *project_;
    for (model::Item& item : updated.items) {
        const auto found = byName.find(item.fileName());
        if (found == byName.end()) continue;
        model::applyPhotoDetails(item, {found->second->date, found->second->caption});
    }
    // Dates taken change a date order; one update per batch refreshes the list every 20 files.
    if (updated.settings.sort == "date") updated.sortItems();
    setProject(std::move(updated));
    if (run->next < run->files.size()) {
        readNextDetailsBatch(run);
    } else {
        detailsRun_.reset();
        setIsReadingDetails(false);
    }
}

// ---- Captions and order -------------------------------------------------------------------------

QString ProjectStore::caption(const model::Item& item) const { return project_ ? qt(project_->caption(item)) : QString(); }

void ProjectStore::setCaption(const QString& text, const model::Item& item) {
    if (!project_) return;
    model::Project changed = *project_;
    // An empty entry is kept on purpose: it hides the picture's own caption.
    changed.captions[item.fileName()] = text.toStdString();
    setProject(std::move(changed));
}

void ProjectStore::moveItems(const std::vector<int>& sources, int destination) {
    if (!project_) return;
    const int count = static_cast<int>(project_->items.size());
    std::set<int> moving;
    for (int source : sources) {
        if (source >= 0 && source < count) moving.insert(source);
    }
    if (moving.empty()) return;
    destination = std::clamp(destination, 0, count);

    // List-move semantics: destination is a position in the list before the move.
    model::Project changed = *project_;
    std::vector<model::Item> moved;
    std::vector<model::Item> kept;
    int insertAt = destination;
    for (int index = 0; index < count; ++index) {
        if (moving.count(index)) {
            moved.push_back(std::move(changed.items[static_cast<size_t>(index)]));
            if (index < destination) --insertAt;
        } else {
            kept.push_back(std::move(changed.items[static_cast<size_t>(index)]));
        }
    }
    kept.insert(kept.begin() + insertAt, std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
    changed.items = std::move(kept);
    changed.order = fileNames(changed.items);
    changed.settings.sort = "manual";
    setProject(std::move(changed));
}

void ProjectStore::moveSelection(int delta) {
    if (!project_ || !selection_) return;
    const auto& items = project_->items;
    const auto found = std::find_if(items.begin(), items.end(),
                                    [this](const model::Item& item) { return item.fileName() == *selection_; });
    if (found == items.end()) return;
    const int index = static_cast<int>(found - items.begin());
    const int target = index + delta;
    if (target < 0 || target >= static_cast<int>(items.size())) return;
    moveItems({index}, delta >= 1 ? target + 1 : target);
}

void ProjectStore::setSort(const std::string& value) {
    if (!project_) return;
    model::Project changed = *project_;
    // The hand-made order starts from what the user sees now.
    if (value == "manual") changed.order = fileNames(changed.items);
    changed.settings.sort = value;
    changed.sortItems();
    setProject(std::move(changed));
}

void ProjectStore::setReverse(bool reverse) {
    if (!project_) return;
    model::Project changed = *project_;
    changed.settings.reverse = reverse;
    changed.sortItems();
    setProject(std::move(changed));
}

// ---- Output folder, file manager and browser ----------------------------------------------------

void ProjectStore::chooseOutputFolder() {
    if (!project_ || !chooser_) return;
    FolderRequest request;
    request.message = QStringLiteral("Where should the gallery be saved?");
    request.button = QStringLiteral("Choose");
    request.startFolder = project_->outputFolder().parent_path();
    request.canCreateFolders = true;
    const std::optional<fs::path> chosen = chooser_->chooseFolder(request);
    if (!chosen || !project_) return;
    std::error_code code;
    const fs::path folder = platform::standardized(fs::absolute(*chosen, code));
    if (folder == platform::standardized(project_->folder)) {
        setAlertMessage(QStringLiteral("Please choose a different folder from your pictures folder."));
        return;
    }
    model::Project changed = *project_;
    changed.output = folder.string();
    setProject(std::move(changed));
}

void ProjectStore::showInFinder() {
    if (!project_) return;
    const fs::path folder = project_->outputFolder();
    std::error_code code;
    if (fs::exists(folder, code)) {
        if (workspace_) workspace_->revealFolder(folder);
    } else {
        setAlertMessage(QStringLiteral("Build the gallery first."));
    }
}

void ProjectStore::openInBrowser() {
    if (!project_) return;
    const fs::path page = project_->outputFolder() / "index.html";
    std::error_code code;
    if (fs::exists(page, code)) {
        if (workspace_) workspace_->openUrl(QUrl::fromLocalFile(qt(page.string())));
    } else {
        setAlertMessage(QStringLiteral("Build the gallery first."));
    }
}

// ---- Saving -------------------------------------------------------------------------------------

void ProjectStore::saveNow(SaveErrors errors) {
    if (!project_) return;
    if (errors == SaveErrors::shown) {
        if (const std::optional<std::string> alert = saveBeforeBuild(*project_)) setAlertMessage(qt(*alert));
        return;
    }
    try {
        project_->saveProjectFile();
    } catch (const std::exception&) {
        // Quiet saves (autosave, quitting, opening another folder) never interrupt the user.
    }
}

void ProjectStore::scheduleAutosave() {
    std::optional<model::PersistedState> savedPart;
    if (project_) savedPart = project_->persisted();
    // Item lists, selection and photo details are not part of the file; only a change of what is
    // saved restarts the one-second wait, so typing or dragging a slider writes the file once.
    if (savedPart == savedPart_) return;
    savedPart_ = std::move(savedPart);
    autosaveTimer_.start();
}

void ProjectStore::autosave() { saveNow(SaveErrors::quiet); }

// ---- Build and publish --------------------------------------------------------------------------

void ProjectStore::build(Destination destination) {
    if (!project_ || isBuilding_) return;

    TypedSecrets secrets;
    secrets.ftpPassword = password_.toStdString();
    secrets.cloudflareToken = cloudflareToken_.toStdString();
    secrets.galleryPassword = galleryPassword_.toStdString();
    KeychainSecretStore secretStore;
    model::Project checked = *project_;
    if (const std::optional<std::string> alert = checkAndStoreCredentials(destination, checked, secrets, secretStore)) {
        setAlertMessage(qt(*alert));
        return;
    }
    // The site name a Cloudflare build uses is now part of the project, and saved with it.
    setProject(std::move(checked));
    saveNow(SaveErrors::shown);

    BuildJob job;
    try {
        job = captureBuildJob(destination, *project_, secrets, secretStore);
    } catch (...) {
        finishBuild(outcomeOfFailure(std::current_exception()), destination, false);
        return;
    }
    const bool openBrowser = job.project.settings.openBrowser;

    setIsBuilding(true);
    setProgress(0);
    setStatus(qt(startingText));

    std::stop_source stop;
    buildStop_ = stop;
    const std::shared_ptr<Link> link = link_;
    const Progress progress = [link](int done, int total, const std::string& text) {
        const double fraction = total < 1 ? 0.0 : static_cast<double>(done) / static_cast<double>(total);
        postToStore(link, [fraction, status = qt(text)](ProjectStore& store) {
            store.setProgress(fraction);
            store.setStatus(status);
        });
    };
    const PublishedHandler onPublished = [link](const cf::PublishResult& result) {
        postToStore(link, [result](ProjectStore& store) { store.recordPublished(result); });
    };
    buildPool().start([link, job = std::move(job), progress, onPublished, token = stop.get_token(),
                       operations = operations_, destination, openBrowser]() {
        BuildOutcome outcome = runBuildTask(job, progress, token, onPublished, operations);
        postToStore(link, [outcome = std::move(outcome), destination, openBrowser](ProjectStore& store) {
            store.finishBuild(outcome, destination, openBrowser);
        });
    });
}

void ProjectStore::stopBuilding() {
    if (buildStop_) buildStop_->request_stop();
}

void ProjectStore::recordPublished(const cf::PublishResult& result) {
    // Opening is refused while building, so the open project is the one that was published.
    if (!project_) return;
    model::Project changed = *project_;
    recordPublication(changed, result);
    setProject(std::move(changed));
}

void ProjectStore::finishBuild(const BuildOutcome& outcome, Destination destination, bool openBrowser) {
    buildStop_.reset();
    if (outcome.alert) setAlertMessage(qt(*outcome.alert));
    setIsBuilding(false);
    setProgress(1);
    setStatus(qt(outcome.status));
    if (outcome.ending == BuildOutcome::Ending::finished && openBrowser && outcome.result &&
        !outcome.result->browserTarget.empty() && workspace_) {
        const std::string& target = outcome.result->browserTarget;
        workspace_->openUrl(destination == Destination::cloudflare ? QUrl(qt(target)) : QUrl::fromLocalFile(qt(target)));
    }
    // The build worked on a copy: details it read are read again for the store's project.
    readDetails();
}

}  // namespace lf::app

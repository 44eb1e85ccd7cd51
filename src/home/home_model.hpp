#pragma once
// The observable state of the home page: its settings (saved on every change), the galleries found
// in the Cloudflare account in display order, and what the model is doing. One object for the whole
// application, on the main thread; the Home Page window binds to its signals and calls its
// operations, and `lanternfold home` drives the same operations from the command line. Discovery,
// building and publishing run on the thread pool; their results come back to the main thread by
// queued calls.
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "home/gallery_discovery.hpp"
#include "home/home_preferences.hpp"
#include "home/home_settings.hpp"
#include "platform/long_work.hpp"

namespace lf::home {

class HomeModel : public QObject {
    Q_OBJECT

public:
    // The slow steps, standard for the program; tests may put in their own.
    struct Operations {
        std::function<DiscoveryResult(const std::string& token, const std::string& accountID, const StopToken& stop)>
            discover;
        // As publishHome of the home service.
        std::function<std::string(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                                  const std::string& accountID, const std::string& token, const std::string& domain,
                                  const std::filesystem::path& folder, const StopToken& stop,
                                  const Progress& progress)>
            publishHome;

        static Operations standard();
    };

    // The model over the user preferences and the standard work folder.
    explicit HomeModel(QObject* parent = nullptr);
    // The model over the given preferences, work folder and operations (tests).
    HomeModel(HomePreferences preferences, std::filesystem::path workFolder, Operations operations,
              QObject* parent = nullptr);
    ~HomeModel() override;

    // The application's one model, made on first use (on the main thread) and never released.
    static HomeModel& shared();

    // Observable fields; each has its change signal below.
    const HomeSettings& settings() const { return settings_; }
    const std::vector<RemoteGallery>& galleries() const { return galleries_; }
    bool loaded() const { return loaded_; }
    bool isLoading() const { return isLoading_; }
    bool isWorking() const { return isWorking_; }
    const std::string& status() const { return status_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }

    // Replaces the settings; a different value is saved at once and announced, an equal one does
    // nothing.
    void setSettings(const HomeSettings& settings);
    // The alert shows errorMessage; dismissing it clears it (nothing).
    void setErrorMessage(const std::optional<std::string>& message);

    const std::filesystem::path& workFolder() const { return workFolder_; }

    // What the window shows, decided here so the window only binds:
    // whether the gallery's check box is ticked (its first ref's flag, shown when it has none);
    bool isIncluded(const RemoteGallery& gallery) const;
    // whether a domain is set, so the "Home page address" field and "Will appear at" are shown;
    bool hasCustomDomain() const;
    // the host the home page will appear at (no scheme), empty without a domain;
    std::string customHost() const;
    // settings.lastURL when it is a usable https or http address, else empty ("Address" hidden).
    std::string shownAddress() const;

    // Discovers the account's galleries and adopts the published home manifest (title, description,
    // template, language, gallery order, address label). accountID empty: the stored one. Ignored
    // while a load runs; an empty token sets the errorMessage "Add your Cloudflare API token first.".
    void load(const std::string& token, const std::string& accountID);

    // Discovers, then builds and publishes the home page with the window's settings, attached to the
    // domain when one is given. Ignored while a publish runs. Ends with the status "Published at …"
    // (or the first-publish advice) or with errorMessage.
    void publish(const std::string& token, const std::string& accountID, const std::string& domain);

    // Builds the home page of the shown galleries into the work folder, off the main thread; then
    // previewReady with the path of its index.html, or errorMessage with the failure.
    void preview();

    // Swaps the gallery with its neighbour (offset -1 up, +1 down) and stores the order; at the ends
    // of the list, or for a gallery not in the list, nothing happens.
    void move(const RemoteGallery& gallery, int offset);

    // Shows or hides the gallery on the home page; its place is kept.
    void setIncluded(const RemoteGallery& gallery, bool included);

    // settings.galleries brought up to date with the galleries found (refsFor), saved if different.
    void syncRefs();

    // The token trimmed of white space and line breaks; nothing, after setting errorMessage "Add your
    // Cloudflare API token first.", when that is empty.
    std::optional<std::string> checkToken(const std::string& token);

    // Republishes the account's existing home page after a gallery was published into it, so the
    // gallery appears there; creates none. Blocking: call it off the main thread (the build flow's
    // task does). When the home page was updated, the shared model learns its address and forgets
    // that it has loaded (so the window loads afresh), by a queued call on the main thread. Returns
    // the address, or nothing; never fails.
    static std::optional<std::string> updateAfterGalleryPublish(const std::string& token, const std::string& accountID,
                                                                const std::string& domain, const StopToken& stop = {});

    // The domain the after-publish update attaches the home page to: the stored home settings'.
    static std::string storedHomeDomain();

    // The after-publish update has found and republished the home page at address.
    void adoptUpdatedHome(const std::string& address);

signals:
    void settingsChanged();
    void galleriesChanged();
    void loadedChanged();
    void isLoadingChanged();
    void isWorkingChanged();
    void statusChanged();
    void errorMessageChanged();

    // A load or a publish ended, whichever way (after the fields above were set).
    void loadFinished();
    void publishFinished();
    // A preview was built; indexPath is its index.html, to open in the browser.
    void previewReady(const QString& indexPath);

private:
    void setGalleries(std::vector<RemoteGallery> galleries);
    void setLoaded(bool loaded);
    void setIsLoading(bool loading);
    void setIsWorking(bool working);
    void setStatus(const std::string& status);

    HomePreferences preferences_;
    std::filesystem::path workFolder_;
    Operations operations_;
    std::stop_source stopSource_;  // asked to stop when the model goes away

    HomeSettings settings_;
    std::vector<RemoteGallery> galleries_;
    bool loaded_ = false;
    bool isLoading_ = false;
    bool isWorking_ = false;
    std::string status_;
    std::optional<std::string> errorMessage_;
};

}  // namespace lf::home

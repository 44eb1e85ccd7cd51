#include "home/home_model.hpp"

#include <exception>
#include <mutex>
#include <stop_token>
#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrent>

#include "home/gallery_order.hpp"
#include "home/home_address.hpp"
#include "home/home_service.hpp"
#include "home/home_site.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::home {

namespace fs = std::filesystem;

namespace {

constexpr const char* lookingText = "Looking for your galleries…";
constexpr const char* noTokenText = "Add your Cloudflare API token first.";
constexpr const char* noGalleriesText = "No published galleries yet.";
constexpr const char* nothingToShowText = "There are no published galleries to show yet. Publish a gallery first.";
constexpr const char* firstPublishText =
    "Published. Publish each gallery once more to add an “All galleries” link to it.";

// Previews, publishes and the after-publish update all rebuild the one work folder from scratch; two
// of them at once would delete each other's files, and a publish could then upload half a site.
std::mutex& workFolderMutex() {
    static std::mutex mutex;
    return mutex;
}

// Runs work on the main thread later, by a queued call. The application object lives as long as
// the program, so the call is safe to post from any thread; receivers check their own QPointer there.
void onMainThread(std::function<void()> work) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    }
}

// The message of a failure, as the alert shows it.
std::string messageOf(std::exception_ptr failure) {
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "Something went wrong.";
    }
}

// The outcome of one piece of work on the pool: its value, or the message of its failure.
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::string error;
};

// Runs work on the thread pool and hands its outcome to done on the main thread, unless the model
// is gone by then.
template <typename T>
void runInBackground(HomeModel* model, std::function<T()> work, std::function<void(Outcome<T>)> done) {
    QPointer<HomeModel> guard(model);
    (void)QtConcurrent::run([guard, work = std::move(work), done = std::move(done)]() mutable {
        Outcome<T> outcome;
        try {
            outcome.value = work();
        } catch (...) {
            outcome.error = messageOf(std::current_exception());
        }
        onMainThread([guard, done = std::move(done), outcome = std::move(outcome)]() mutable {
            if (guard) done(std::move(outcome));
        });
    });
}

bool isUsableAddress(const std::string& address) {
    for (const std::string prefix : {"https://", "http://"}) {
        if (address.starts_with(prefix)) {
            const std::string rest = address.substr(prefix.size());
            return !rest.empty() && rest.front() != '/' && rest.find_first_of(" \t\r\n") == std::string::npos;
        }
    }
    return false;
}

}  // namespace

HomeModel::Operations HomeModel::Operations::standard() {
    Operations operations;
    operations.discover = [](const std::string& token, const std::string& accountID, const StopToken& stop) {
        return home::discover(token, accountID, stop);
    };
    operations.publishHome = [](const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                                const std::string& accountID, const std::string& token, const std::string& domain,
                                const fs::path& folder, const StopToken& stop, const Progress& progress) {
        return home::publishHome(settings, galleries, accountID, token, domain, folder, stop, progress);
    };
    return operations;
}

HomeModel::HomeModel(QObject* parent) : HomeModel(HomePreferences(), homeWorkFolder(), Operations::standard(), parent) {}

HomeModel::HomeModel(HomePreferences preferences, fs::path workFolder, Operations operations, QObject* parent)
    : QObject(parent),
      preferences_(std::move(preferences)),
      workFolder_(std::move(workFolder)),
      operations_(std::move(operations)),
      settings_(preferences_.read()) {}

HomeModel::~HomeModel() {
    // Work still running for this model stops at its next cancellation point; its result is dropped.
    stopSource_.request_stop();
}

HomeModel& HomeModel::shared() {
    // Never released: the window and the after-publish update may refer to it until the program ends.
    static HomeModel* model = new HomeModel();
    return *model;
}

void HomeModel::setSettings(const HomeSettings& settings) {
    if (settings == settings_) return;
    settings_ = settings;
    preferences_.write(settings_);
    emit settingsChanged();
}

void HomeModel::setErrorMessage(const std::optional<std::string>& message) {
    if (message == errorMessage_) return;
    errorMessage_ = message;
    emit errorMessageChanged();
}

void HomeModel::setGalleries(std::vector<RemoteGallery> galleries) {
    if (galleries == galleries_) return;
    galleries_ = std::move(galleries);
    emit galleriesChanged();
}

void HomeModel::setLoaded(bool loaded) {
    if (loaded == loaded_) return;
    loaded_ = loaded;
    emit loadedChanged();
}

void HomeModel::setIsLoading(bool loading) {
    if (loading == isLoading_) return;
    isLoading_ = loading;
    emit isLoadingChanged();
}

void HomeModel::setIsWorking(bool working) {
    if (working == isWorking_) return;
    isWorking_ = working;
    emit isWorkingChanged();
}

void HomeModel::setStatus(const std::string& status) {
    if (status == status_) return;
    status_ = status;
    emit statusChanged();
}

bool HomeModel::isIncluded(const RemoteGallery& gallery) const {
    for (const GalleryRef& ref : settings_.galleries) {
        if (ref.path == gallery.siteName) return ref.included;
    }
    return true;
}

bool HomeModel::hasCustomDomain() const { return !publish::cloudflare::normalizedDomain(settings_.domain).empty(); }

std::string HomeModel::customHost() const { return homeHost(settings_.homeName, settings_.domain); }

std::string HomeModel::shownAddress() const { return isUsableAddress(settings_.lastURL) ? settings_.lastURL : ""; }

std::optional<std::string> HomeModel::checkToken(const std::string& token) {
    std::string trimmed = text::trimmed(token);
    if (trimmed.empty()) {
        setErrorMessage(std::string(noTokenText));
        return std::nullopt;
    }
    return trimmed;
}

void HomeModel::load(const std::string& token, const std::string& accountID) {
    const auto trimmedToken = checkToken(token);
    if (!trimmedToken) return;
    if (isLoading_) return;
    setIsLoading(true);
    setStatus(lookingText);
    const std::string account = accountID.empty() ? settings_.accountID : accountID;
    auto discover = operations_.discover;
    const StopToken stop = stopSource_.get_token();
    runInBackground<DiscoveryResult>(
        this, [discover, token = *trimmedToken, account, stop] { return discover(token, account, stop); },
        [this](Outcome<DiscoveryResult> outcome) {
            if (!outcome.value) {
                setStatus("");
                setErrorMessage(outcome.error);
                setIsLoading(false);
                emit loadFinished();
                return;
            }
            const DiscoveryResult& found = *outcome.value;
            HomeSettings settings = settings_;
            settings.accountID = found.accountID;
            if (found.home) {
                // The published page wins over what this computer last saw: it may have been
                // changed from another computer.
                settings.title = found.home->title;
                settings.description = found.home->description;
                settings.templateName = found.home->templateName;
                settings.language = found.home->language;
                settings.galleries = found.home->galleries;
                if (found.home->homeName) settings.homeName = *found.home->homeName;
                settings.lastURL = siteURL(homeSiteName, found);
            }
            setSettings(settings);
            setGalleries(orderGalleries(found.galleries, settings_.galleries));
            setLoaded(true);
            setStatus(galleries_.empty() ? noGalleriesText : "");
            setIsLoading(false);
            emit loadFinished();
        });
}

void HomeModel::publish(const std::string& token, const std::string& accountID, const std::string& domain) {
    const auto trimmedToken = checkToken(token);
    if (!trimmedToken) return;
    if (isWorking_) return;
    setIsWorking(true);
    setStatus(lookingText);
    const std::string account = accountID.empty() ? settings_.accountID : accountID;
    auto discover = operations_.discover;
    const StopToken stop = stopSource_.get_token();
    const std::string tokenText = *trimmedToken;

    const auto fail = [this](const std::string& message) {
        setStatus("");
        setErrorMessage(message);
        setIsWorking(false);
        emit publishFinished();
    };

    runInBackground<DiscoveryResult>(
        this, [discover, tokenText, account, stop] { return discover(tokenText, account, stop); },
        [this, fail, tokenText, domain, stop](Outcome<DiscoveryResult> outcome) {
            if (!outcome.value) return fail(outcome.error);
            const std::string foundAccount = outcome.value->accountID;
            // The published home manifest is not adopted here: what the window shows is published.
            setGalleries(orderGalleries(outcome.value->galleries, settings_.galleries));
            setLoaded(true);
            if (shownGalleries(galleries_, settings_.galleries).empty()) return fail(nothingToShowText);
            syncRefs();
            const bool firstPublish = settings_.lastURL.empty();

            QPointer<HomeModel> guard(this);
            const Progress progress = [guard](int, int, const std::string& text) {
                onMainThread([guard, text] {
                    if (guard) guard->setStatus(text);
                });
            };
            auto publishHome = operations_.publishHome;
            runInBackground<std::string>(
                this,
                [publishHome, settings = settings_, galleries = galleries_, foundAccount, tokenText, domain,
                 folder = workFolder_, stop, progress] {
                    std::lock_guard lock(workFolderMutex());
                    return publishHome(settings, galleries, foundAccount, tokenText, domain, folder, stop, progress);
                },
                [this, fail, foundAccount, firstPublish](Outcome<std::string> published) {
                    if (!published.value) return fail(published.error);
                    HomeSettings settings = settings_;
                    settings.accountID = foundAccount;
                    settings.lastURL = *published.value;
                    setSettings(settings);
                    // Galleries built before the first home page have no link back to it yet.
                    setStatus(firstPublish ? std::string(firstPublishText) : "Published at " + *published.value);
                    setIsWorking(false);
                    emit publishFinished();
                });
        });
}

void HomeModel::preview() {
    const HomeSettings settings = settings_;
    const std::vector<RemoteGallery> shown = shownGalleries(galleries_, settings_.galleries);
    runInBackground<fs::path>(
        this,
        [settings, shown, folder = workFolder_] {
            std::lock_guard lock(workFolderMutex());
            return buildSite(settings, shown, folder);
        },
        [this](Outcome<fs::path> built) {
            if (!built.value) return setErrorMessage(built.error);
            emit previewReady(QString::fromStdString(built.value->string()));
        });
}

void HomeModel::move(const RemoteGallery& gallery, int offset) {
    for (size_t i = 0; i < galleries_.size(); ++i) {
        if (!(galleries_[i] == gallery)) continue;
        const long target = static_cast<long>(i) + offset;
        if (target < 0 || target >= static_cast<long>(galleries_.size()) || target == static_cast<long>(i)) return;
        std::vector<RemoteGallery> galleries = galleries_;
        std::swap(galleries[i], galleries[static_cast<size_t>(target)]);
        setGalleries(std::move(galleries));
        syncRefs();
        return;
    }
}

void HomeModel::setIncluded(const RemoteGallery& gallery, bool included) {
    syncRefs();
    HomeSettings settings = settings_;
    for (GalleryRef& ref : settings.galleries) {
        if (ref.path == gallery.siteName) {
            ref.included = included;
            break;
        }
    }
    setSettings(settings);
}

void HomeModel::syncRefs() {
    HomeSettings settings = settings_;
    settings.galleries = refsFor(galleries_, settings_.galleries);
    setSettings(settings);
}

std::optional<std::string> HomeModel::updateAfterGalleryPublish(const std::string& token, const std::string& accountID,
                                                                const std::string& domain, const StopToken& stop) {
    std::optional<std::string> address;
    {
        std::lock_guard lock(workFolderMutex());
        address = updateIfPresent(token, accountID, domain, homeWorkFolder(), stop);
    }
    if (address) {
        if (QCoreApplication::instance()) {
            onMainThread([address = *address] { HomeModel::shared().adoptUpdatedHome(address); });
        } else {
            // No application, so no shared model (the command line): the preferences learn the address.
            const HomePreferences preferences;
            HomeSettings settings = preferences.read();
            if (settings.lastURL != *address) {
                settings.lastURL = *address;
                preferences.write(settings);
            }
        }
    }
    return address;
}

std::string HomeModel::storedHomeDomain() { return HomePreferences().read().domain; }

void HomeModel::adoptUpdatedHome(const std::string& address) {
    HomeSettings settings = settings_;
    settings.lastURL = address;
    setSettings(settings);
    // The window lists the galleries afresh when it is next shown.
    setLoaded(false);
}

}  // namespace lf::home

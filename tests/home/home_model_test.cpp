// HomeModel on the main thread with stand-in discovery and publishing: what a load adopts, what a
// publish reports, moving and hiding galleries, the token check, and the states while work runs.
// Waits are on signals and conditions (QSignalSpy, QTRY_*), never on fixed times.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "home/home_model.hpp"
#include "home/home_site.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Names = std::vector<std::string>;

// Holds background work until the test lets it go, so the states while busy can be looked at.
class Gate {
public:
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
};

RemoteGallery gallery(const std::string& name, int ageInDays = 0) {
    RemoteGallery g;
    g.siteName = name;
    g.title = "Title of " + name;
    g.url = "https://" + name + ".lf-test.workers.dev/";
    g.coverURL = g.url + "cover.jpg";
    g.count = 3;
    g.updated = sys_days{year{2026} / December / day{1}} - days{ageInDays};
    return g;
}

Names names(const std::vector<RemoteGallery>& galleries) {
    Names out;
    for (const RemoteGallery& g : galleries) out.push_back(g.siteName);
    return out;
}

Names refPaths(const std::vector<GalleryRef>& refs) {
    Names out;
    for (const GalleryRef& r : refs) out.push_back(r.path + (r.included ? "" : " (hidden)"));
    return out;
}

// The stand-in account: what discovery finds, what publishing did, and gates to hold both.
struct Account {
    std::mutex mutex;
    DiscoveryResult found;
    std::string discoverError;     // discovery fails with this when not empty
    std::string publishError;      // publishing fails with this when not empty
    std::atomic<int> discoveries = 0;
    std::atomic<int> publishes = 0;
    std::string lastToken;
    std::string lastAccount;
    HomeSettings publishedSettings;
    Names publishedGalleries;
    std::string publishedDomain;
    Gate discoverGate;
    Gate publishGate;

    HomeModel::Operations operations() {
        HomeModel::Operations ops;
        ops.discover = [this](const std::string& token, const std::string& accountID, const StopToken&) {
            discoverGate.pass();
            ++discoveries;
            std::lock_guard lock(mutex);
            lastToken = token;
            lastAccount = accountID;
            if (!discoverError.empty()) throw Error(discoverError);
            return found;
        };
        ops.publishHome = [this](const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                                 const std::string& accountID, const std::string&, const std::string& domain,
                                 const fs::path& folder, const StopToken&, const Progress& progress) {
            report(progress, 1, 2, "Sending 1 file…");
            publishGate.pass();
            ++publishes;
            std::lock_guard lock(mutex);
            publishedSettings = settings;
            publishedGalleries = names(galleries);
            publishedDomain = domain;
            if (!publishError.empty()) throw Error(publishError);
            // The real publish builds the site first; the preview tests read the folder.
            buildSite(settings, galleries, folder);
            return std::string("https://lanternfold-home." + accountID + ".example/");
        };
        return ops;
    }
};

class HomeModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        account.found.accountID = "acc";
        account.found.subdomain = "lf-test";
    }

    std::unique_ptr<HomeModel> makeModel() {
        return std::make_unique<HomeModel>(HomePreferences(preferencesFile()), root.path() / "work",
                                           account.operations());
    }

    fs::path preferencesFile() const { return root.path() / "Lanternfold.conf"; }

    void loadAndWait(HomeModel& model, const std::string& token = "token") {
        QSignalSpy finished(&model, &HomeModel::loadFinished);
        model.load(token, "");
        ASSERT_TRUE(finished.wait(10000));
    }

    void publishAndWait(HomeModel& model) {
        QSignalSpy finished(&model, &HomeModel::publishFinished);
        model.publish("token", "", "");
        ASSERT_TRUE(finished.wait(10000));
    }

    lf::testing::TemporaryFolder root;
    Account account;
};

TEST_F(HomeModelTest, EmptyTokenIsRefusedBeforeAnythingStarts) {
    auto model = makeModel();
    for (const char* token : {"", "  \n\t"}) {
        model->setErrorMessage(std::nullopt);
        model->load(token, "");
        EXPECT_EQ(model->errorMessage(), std::optional<std::string>("Add your Cloudflare API token first."));
        EXPECT_FALSE(model->isLoading());
        model->setErrorMessage(std::nullopt);
        model->publish(token, "", "");
        EXPECT_EQ(model->errorMessage(), std::optional<std::string>("Add your Cloudflare API token first."));
        EXPECT_FALSE(model->isWorking());
    }
    EXPECT_EQ(model->checkToken(" tok\n"), std::optional<std::string>("tok"));
    EXPECT_EQ(account.discoveries, 0);
}

TEST_F(HomeModelTest, LoadAdoptsThePublishedHomeManifestAndOrdersTheGalleries) {
    HomeManifest manifest;
    manifest.title = "Published title";
    manifest.description = "From another computer";
    manifest.templateName = "minimal";
    manifest.language = "de";
    manifest.galleries = {{"a", true}, {"b", false}};
    manifest.homeName = "photos";
    account.found.home = manifest;
    account.found.domains = {{"lanternfold-home", "photos.example.com"}};
    account.found.galleries = {gallery("b"), gallery("new-old", 5), gallery("a"), gallery("new", 1)};

    auto model = makeModel();
    HomeSettings local = model->settings();
    local.domain = "example.com";
    local.accountID = "stored";
    model->setSettings(local);

    QSignalSpy loading(model.get(), &HomeModel::isLoadingChanged);
    QSignalSpy galleries(model.get(), &HomeModel::galleriesChanged);
    model->load(" token ", "");
    EXPECT_TRUE(model->isLoading());
    EXPECT_EQ(model->status(), "Looking for your galleries…");
    QTRY_COMPARE_WITH_TIMEOUT(model->isLoading(), false, 10000);

    EXPECT_EQ(account.lastToken, "token");
    EXPECT_EQ(account.lastAccount, "stored");  // the stored account when none is given
    EXPECT_EQ(loading.count(), 2);
    EXPECT_EQ(galleries.count(), 1);
    EXPECT_TRUE(model->loaded());
    EXPECT_EQ(model->status(), "");
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(names(model->galleries()), (Names{"new", "new-old", "a", "b"}));

    const HomeSettings& s = model->settings();
    EXPECT_EQ(s.title, "Published title");
    EXPECT_EQ(s.description, "From another computer");
    EXPECT_EQ(s.templateName, "minimal");
    EXPECT_EQ(s.language, "de");
    EXPECT_EQ(s.homeName, "photos");
    EXPECT_EQ(s.accountID, "acc");
    EXPECT_EQ(s.lastURL, "https://photos.example.com/");
    EXPECT_EQ(s.domain, "example.com");  // not in the manifest: kept
    EXPECT_EQ(refPaths(s.galleries), (Names{"a", "b (hidden)"}));
    // Saved at once.
    EXPECT_EQ(HomePreferences(preferencesFile()).read(), s);
    EXPECT_FALSE(model->isIncluded(gallery("b")));
    EXPECT_TRUE(model->isIncluded(gallery("new")));
}

TEST_F(HomeModelTest, LoadWithoutHomePageKeepsTheSettingsAndSaysWhenNothingIsPublished) {
    auto model = makeModel();
    loadAndWait(*model);
    EXPECT_TRUE(model->loaded());
    EXPECT_EQ(model->status(), "No published galleries yet.");
    EXPECT_EQ(model->settings().title, "My Galleries");
    EXPECT_EQ(model->settings().lastURL, "");
    EXPECT_EQ(model->settings().accountID, "acc");
}

TEST_F(HomeModelTest, FailedLoadShowsTheErrorAndKeepsWhatWasThere) {
    account.found.galleries = {gallery("a")};
    auto model = makeModel();
    loadAndWait(*model);
    account.discoverError = "The API token was refused.";
    loadAndWait(*model);
    EXPECT_EQ(model->errorMessage(), std::optional<std::string>("The API token was refused."));
    EXPECT_EQ(model->status(), "");
    EXPECT_FALSE(model->isLoading());
    EXPECT_TRUE(model->loaded());
    EXPECT_EQ(names(model->galleries()), (Names{"a"}));
}

TEST_F(HomeModelTest, SecondLoadOrPublishWhileOneRunsIsIgnoredButTheTwoMayOverlap) {
    account.found.galleries = {gallery("a")};
    auto model = makeModel();
    account.discoverGate.close();
    account.publishGate.close();
    QSignalSpy loads(model.get(), &HomeModel::loadFinished);
    QSignalSpy publishes(model.get(), &HomeModel::publishFinished);
    model->load("token", "");
    model->load("token", "");
    model->publish("token", "", "");
    model->publish("token", "", "");
    EXPECT_TRUE(model->isLoading());
    EXPECT_TRUE(model->isWorking());
    account.discoverGate.open();
    QTRY_COMPARE_WITH_TIMEOUT(loads.count(), 1, 10000);
    EXPECT_EQ(account.discoveries, 2);  // one for the load, one for the publish
    // The publish is held in its upload; its progress already shows.
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(model->status()), QString("Sending 1 file…"), 10000);
    EXPECT_TRUE(model->isWorking());
    EXPECT_FALSE(model->isLoading());
    account.publishGate.open();
    QTRY_COMPARE_WITH_TIMEOUT(publishes.count(), 1, 10000);
    EXPECT_EQ(account.publishes, 1);
    EXPECT_FALSE(model->isWorking());
}

TEST_F(HomeModelTest, PublishTellsTheFirstTimeToRepublishGalleriesThenGivesTheAddress) {
    account.found.galleries = {gallery("a"), gallery("b", 2)};
    auto model = makeModel();
    publishAndWait(*model);
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(model->status(), "Published. Publish each gallery once more to add an “All galleries” link to it.");
    EXPECT_EQ(model->settings().lastURL, "https://lanternfold-home.acc.example/");
    EXPECT_EQ(model->settings().accountID, "acc");
    EXPECT_TRUE(model->loaded());
    EXPECT_EQ(refPaths(account.publishedSettings.galleries), (Names{"a", "b"}));

    publishAndWait(*model);
    EXPECT_EQ(model->status(), "Published at https://lanternfold-home.acc.example/");
}

TEST_F(HomeModelTest, PublishUsesTheWindowsSettingsNotThePublishedManifest) {
    HomeManifest manifest;
    manifest.title = "Old title";
    manifest.galleries = {{"b", true}, {"a", true}};
    account.found.home = manifest;
    account.found.galleries = {gallery("a"), gallery("b")};
    auto model = makeModel();
    HomeSettings settings = model->settings();
    settings.title = "Typed here";
    settings.galleries = {{"a", true}, {"b", false}};
    model->setSettings(settings);

    QSignalSpy finished(model.get(), &HomeModel::publishFinished);
    model->publish("token", "", "Example.com");
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(account.publishedSettings.title, "Typed here");
    EXPECT_EQ(account.publishedDomain, "Example.com");
    EXPECT_EQ(account.publishedGalleries, (Names{"a", "b"}));
    EXPECT_EQ(refPaths(model->settings().galleries), (Names{"a", "b (hidden)"}));
}

TEST_F(HomeModelTest, PublishWithNothingToShowOrAFailureShowsTheMessage) {
    auto model = makeModel();
    publishAndWait(*model);  // no galleries at all
    EXPECT_EQ(model->errorMessage(),
              std::optional<std::string>("There are no published galleries to show yet. Publish a gallery first."));
    EXPECT_EQ(model->status(), "");
    EXPECT_FALSE(model->isWorking());
    EXPECT_EQ(account.publishes, 0);

    account.found.galleries = {gallery("a")};
    loadAndWait(*model);
    model->setIncluded(model->galleries()[0], false);
    model->setErrorMessage(std::nullopt);
    publishAndWait(*model);  // all unticked
    EXPECT_EQ(model->errorMessage(),
              std::optional<std::string>("There are no published galleries to show yet. Publish a gallery first."));

    model->setIncluded(model->galleries()[0], true);
    account.publishError = publish::cloudflare::CloudflareError::badHomeName().what();
    model->setErrorMessage(std::nullopt);
    publishAndWait(*model);
    EXPECT_EQ(model->errorMessage(), std::optional<std::string>(account.publishError));
    EXPECT_EQ(model->status(), "");
    EXPECT_EQ(model->settings().lastURL, "");
    EXPECT_FALSE(model->isWorking());
}

TEST_F(HomeModelTest, MovingSwapsNeighboursAndStoresTheOrderButNotPastTheEnds) {
    account.found.galleries = {gallery("a", 1), gallery("b", 2), gallery("c", 3)};
    auto model = makeModel();
    loadAndWait(*model);
    ASSERT_EQ(names(model->galleries()), (Names{"a", "b", "c"}));

    QSignalSpy settingsChanges(model.get(), &HomeModel::settingsChanged);
    model->move(model->galleries().front(), -1);
    model->move(model->galleries().back(), +1);
    model->move(gallery("not-there"), +1);
    EXPECT_EQ(names(model->galleries()), (Names{"a", "b", "c"}));
    EXPECT_EQ(settingsChanges.count(), 0);
    EXPECT_EQ(HomePreferences(preferencesFile()).read().galleries, std::vector<GalleryRef>{});

    model->move(model->galleries()[0], +1);
    EXPECT_EQ(names(model->galleries()), (Names{"b", "a", "c"}));
    model->move(model->galleries()[2], -1);
    EXPECT_EQ(names(model->galleries()), (Names{"b", "c", "a"}));
    EXPECT_EQ(refPaths(HomePreferences(preferencesFile()).read().galleries), (Names{"b", "c", "a"}));

    // The stored order wins on the next load.
    loadAndWait(*model);
    EXPECT_EQ(names(model->galleries()), (Names{"b", "c", "a"}));
}

TEST_F(HomeModelTest, UntickedGalleryKeepsItsPlaceAndIsLeftOffThePreview) {
    account.found.galleries = {gallery("a", 1), gallery("b", 2), gallery("c", 3)};
    auto model = makeModel();
    loadAndWait(*model);
    model->setIncluded(model->galleries()[1], false);
    EXPECT_FALSE(model->isIncluded(gallery("b", 2)));
    EXPECT_EQ(names(model->galleries()), (Names{"a", "b", "c"}));
    EXPECT_EQ(refPaths(HomePreferences(preferencesFile()).read().galleries), (Names{"a", "b (hidden)", "c"}));

    QSignalSpy ready(model.get(), &HomeModel::previewReady);
    model->preview();
    ASSERT_TRUE(ready.wait(10000));
    const fs::path index = ready.at(0).at(0).toString().toStdString();
    EXPECT_EQ(index, root.path() / "work" / "index.html");
    const std::string page = platform::readFile(index);
    EXPECT_NE(page.find("<p class=\"count\">2 galleries</p>"), std::string::npos);
    EXPECT_EQ(page.find("Title of b"), std::string::npos);
    // The manifest keeps the hidden gallery with its flag.
    const auto manifest = HomeManifest::decode(platform::readFile(root.path() / "work" / "lanternfold-home.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(refPaths(manifest->galleries), (Names{"a", "b (hidden)", "c"}));
}

TEST_F(HomeModelTest, PreviewWithEverythingHiddenShowsNoGalleriesAndAFailureBecomesTheAlert) {
    account.found.galleries = {gallery("a")};
    auto model = makeModel();
    loadAndWait(*model);
    model->setIncluded(model->galleries()[0], false);
    QSignalSpy ready(model.get(), &HomeModel::previewReady);
    model->preview();
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_NE(platform::readFile(root.path() / "work" / "index.html").find("0 galleries"), std::string::npos);

    platform::writeFileAtomically(root.path() / "blocked", "x");
    HomeModel blocked(HomePreferences(preferencesFile()), root.path() / "blocked" / "work", account.operations());
    QSignalSpy alert(&blocked, &HomeModel::errorMessageChanged);
    blocked.preview();
    ASSERT_TRUE(alert.wait(10000));
    ASSERT_TRUE(blocked.errorMessage());
    EXPECT_NE(blocked.errorMessage()->find("blocked/work"), std::string::npos) << *blocked.errorMessage();
}

TEST_F(HomeModelTest, UpdatedHomePageIsAdoptedAndLoadsAfresh) {
    account.found.galleries = {gallery("a")};
    auto model = makeModel();
    loadAndWait(*model);
    model->adoptUpdatedHome("https://lanternfold-home.lf-test.workers.dev/");
    EXPECT_EQ(model->settings().lastURL, "https://lanternfold-home.lf-test.workers.dev/");
    EXPECT_FALSE(model->loaded());
    EXPECT_EQ(HomePreferences(preferencesFile()).read().lastURL, "https://lanternfold-home.lf-test.workers.dev/");
}

TEST_F(HomeModelTest, WhatTheWindowShowsOfTheAddress) {
    auto model = makeModel();
    HomeSettings settings = model->settings();
    EXPECT_FALSE(model->hasCustomDomain());
    EXPECT_EQ(model->customHost(), "");
    settings.domain = "https://www.Example.com/";
    settings.homeName = "galleries";
    settings.lastURL = "not an address";
    model->setSettings(settings);
    EXPECT_TRUE(model->hasCustomDomain());
    EXPECT_EQ(model->customHost(), "galleries.example.com");
    EXPECT_EQ(model->shownAddress(), "");
    settings.lastURL = "https://galleries.example.com/";
    model->setSettings(settings);
    EXPECT_EQ(model->shownAddress(), "https://galleries.example.com/");
}

}  // namespace
}  // namespace lf::home

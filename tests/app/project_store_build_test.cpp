// Build Gallery, Build and Upload by FTP and Build and Publish to Cloudflare through ProjectStore:
// the checks and their alerts, what is stored and saved, the busy state, Stop, failures, and real
// uploads to an FTP server and publishes to the Cloudflare double.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QSignalSpy>

#include "app/keychain.hpp"
#include "app/project_store.hpp"
#include "app/support/store_fixtures.hpp"
#include "cli/support/publish_support.hpp"
#include "model/support/fixtures.hpp"
#include "platform/error.hpp"
#include "platform/json.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "publish/ftp/support/ftp_servers.hpp"

namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::app::Destination;
using lf::app::ProjectStore;
using lf::test::FakeWorkspace;
using lf::test::makeFolder;

// Steps that stand in for the slow ones: the build writes nothing and names the index page of the
// output folder; the upload and the publish report fixed results. What they received is kept.
struct StandIn {
    int builds = 0;
    std::optional<cf::CloudflarePublisher> publisher;
    cf::PublishResult published{"https://rome.example.workers.dev/", "account-1", 7, 0};

    lf::app::BuildOperations operations() {
        lf::app::BuildOperations operations;
        operations.build = [this](const lf::model::Project& project, const std::optional<std::string>&,
                                  const lf::Progress& progress, const lf::StopToken& stop) {
            ++builds;
            lf::report(progress, 1, 1, "Writing pages");
            lf::throwIfStopped(stop);
            return project.outputFolder() / "index.html";
        };
        operations.upload = [](const fs::path&, const lf::model::GallerySettings&, const std::string&,
                               const lf::Progress&, const lf::StopToken&) { return 3; };
        operations.publish = [this](const cf::CloudflarePublisher& used, const fs::path&, const lf::Progress&,
                                    const lf::StopToken&) {
            publisher = used;
            return published;
        };
        return operations;
    }
};

std::string savedSetting(const fs::path& folder, const std::string& key) {
    const auto file = lf::json::parse(lf::testing::readWhole(folder / "lanternfold.json"));
    return file ? (*file)["settings"].value(key, std::string()) : std::string();
}

class StoreBuild : public testing::Test {
protected:
    static void SetUpTestSuite() { lf::test::usePrivateKeyring(); }

    void SetUp() override {
        store = std::make_unique<ProjectStore>();
        store->setWorkspace(workspace);
        store->setBuildOperations(standIn.operations());
    }

    void openAndWait(const fs::path& folder) {
        store->open(folder);
        LF_TRY_VERIFY(!store->isOpening() && store->project() && store->project()->folder == folder &&
                      !store->isReadingDetails());
    }

    lf::testing::TemporaryFolder temp;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    StandIn standIn;
    std::unique_ptr<ProjectStore> store;
};

TEST_F(StoreBuild, EveryCheckShowsItsAlertAndNothingIsStoredSavedOrStarted) {
    struct Case {
        std::string name;
        Destination destination;
        std::string settings;
        QString ftpPassword, token, galleryPassword;
        QString alert;
    };
    const QString locked = "Password protection works only when you publish to Cloudflare. To upload by FTP, turn "
                           "off “Require a password” first. The gallery would be open to everyone.";
    const QString server = "Fill in your FTP server and user name in the Publish tab first.";
    const QString siteName = "The site name can only use lowercase letters, numbers and dashes (up to 63), and "
                             "can’t start or end with a dash.";
    const std::vector<Case> cases = {
        {"ftp locked", Destination::ftp, R"({"locked": true, "ftp_host": "ftp.example.com", "ftp_user": "anna"})", "pw",
         "", "", locked},
        {"blank host", Destination::ftp, R"({"ftp_host": " \t ", "ftp_user": "anna"})", "pw", "", "", server},
        {"blank user", Destination::ftp, R"({"ftp_host": "ftp.example.com", "ftp_user": " "})", "pw", "", "", server},
        {"no ftp password", Destination::ftp, R"({"ftp_host": "ftp.example.com", "ftp_user": "anna"})", "", "", "",
         "Type your FTP password in the Publish tab first."},
        {"blank token", Destination::cloudflare, R"({"cf_site_name": "rome"})", "", " \n", "",
         "Paste your Cloudflare API token in the Publish tab first."},
        {"64 characters", Destination::cloudflare, R"({"cf_site_name": ")" + std::string(64, 'a') + R"("})", "",
         "token", "", siteName},
        {"leading dash", Destination::cloudflare, R"({"cf_site_name": "-rome"})", "", "token", "", siteName},
        {"capital", Destination::cloudflare, R"({"cf_site_name": "Rome"})", "", "token", "", siteName},
        {"dot", Destination::cloudflare, R"({"cf_site_name": "ro.me"})", "", "token", "", siteName},
        {"locked without password", Destination::cloudflare, R"({"locked": true, "cf_site_name": "rome"})", "", "token",
         " \n", "Type a password for this gallery, or turn off “Require a password”."},
    };
    int round = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path folder = makeFolder(temp / std::to_string(round++), "Rome", 1, test.settings);
        openAndWait(folder);
        const std::string savedBefore = lf::testing::readWhole(folder / "lanternfold.json");
        store->setPassword(test.ftpPassword);
        store->setCloudflareToken(test.token);
        store->setGalleryPassword(test.galleryPassword);
        store->dismissAlert();
        const QString status = store->status();

        store->build(test.destination);
        EXPECT_EQ(store->alertMessage(), test.alert);
        EXPECT_FALSE(store->isBuilding());
        EXPECT_EQ(store->status(), status);
        EXPECT_EQ(standIn.builds, 0);
        EXPECT_EQ(lf::testing::readWhole(folder / "lanternfold.json"), savedBefore);
        EXPECT_FALSE(lf::app::Keychain().cloudflareToken());
    }
}

TEST_F(StoreBuild, ACloudflareBuildStoresTheTrimmedTokenSavesTheSuggestedNameAndRecordsThePublish) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 2, R"({"title": "Roman Holiday"})");
    openAndWait(folder);
    store->setCloudflareToken("the-token\n");
    std::vector<QString> statuses;
    QObject::connect(store.get(), &ProjectStore::statusChanged, store.get(),
                     [&] { statuses.push_back(store->status()); });

    store->build(Destination::cloudflare);
    EXPECT_FALSE(store->alertMessage());
    EXPECT_TRUE(store->isBuilding());
    EXPECT_EQ(store->status(), "Starting…");
    EXPECT_EQ(store->progress(), 0);
    // The name is written into the project and saved before the build starts.
    EXPECT_EQ(store->settings().cfSiteName, "roman-holiday");
    EXPECT_EQ(savedSetting(folder, "cf_site_name"), "roman-holiday");
    EXPECT_EQ(lf::app::Keychain().cloudflareToken(), "the-token");

    LF_TRY_VERIFY(!store->isBuilding());
    EXPECT_EQ(store->status(), "Published at https://rome.example.workers.dev/ (nothing had changed). A new site can "
                               "take a minute to appear.");
    EXPECT_EQ(store->progress(), 1);
    EXPECT_FALSE(store->alertMessage());
    // Every report of the steps reached the status line, in order.
    EXPECT_EQ(statuses, (std::vector<QString>{"Starting…", "Checking for a home page…", "Writing pages",
                                              "Updating the home page…", store->status()}));
    ASSERT_TRUE(standIn.publisher);
    EXPECT_EQ(standIn.publisher->token(), "the-token");
    EXPECT_EQ(standIn.publisher->siteName(), "roman-holiday");
    // The account and address are recorded in the project and its file.
    EXPECT_EQ(store->settings().cfAccountID, "account-1");
    EXPECT_EQ(store->settings().cfLastURL, "https://rome.example.workers.dev/");
    EXPECT_EQ(savedSetting(folder, "cf_account_id"), "account-1");
    // "Open in browser when done" is on by default: the published address opens.
    EXPECT_EQ(workspace->opened, std::vector<QUrl>{QUrl("https://rome.example.workers.dev/")});
}

TEST_F(StoreBuild, StopDuringABuildOfManyItemsEndsWithStoppedAndNoAlert) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    const fs::path other = makeFolder(temp.path(), "Paris", 1);
    openAndWait(folder);

    // A build of 500 items that reaches item 3 and goes on only when stopped.
    lf::app::BuildOperations operations = standIn.operations();
    operations.build = [](const lf::model::Project&, const std::optional<std::string>&, const lf::Progress& progress,
                          const lf::StopToken& stop) -> fs::path {
        for (int item = 1; item <= 500; ++item) {
            lf::throwIfStopped(stop);
            lf::report(progress, item, 500, "Preparing item " + std::to_string(item));
            if (item == 3) {
                std::mutex mutex;
                std::condition_variable_any stopped;
                std::unique_lock lock(mutex);
                stopped.wait(lock, stop, [] { return false; });
            }
        }
        return {};
    };
    store->setBuildOperations(operations);
    store->build(Destination::none);
    LF_TRY_VERIFY(store->status() == "Preparing item 3");
    EXPECT_DOUBLE_EQ(store->progress(), 3.0 / 500.0);

    // While building, opening and a second build are ignored.
    store->open(other);
    EXPECT_FALSE(store->isOpening());
    EXPECT_EQ(store->project()->folder, folder);
    store->build(Destination::none);

    QSignalSpy alerts(store.get(), &ProjectStore::alertMessageChanged);
    store->stopBuilding();
    LF_TRY_VERIFY(!store->isBuilding());
    EXPECT_EQ(store->status(), "Stopped.");
    EXPECT_EQ(store->progress(), 1);
    EXPECT_FALSE(store->alertMessage());
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(StoreBuild, AFailingStepEndsWithSomethingWentWrongAndTheErrorsText) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    openAndWait(folder);
    lf::app::BuildOperations operations = standIn.operations();
    operations.build = [](const lf::model::Project&, const std::optional<std::string>&, const lf::Progress&,
                          const lf::StopToken&) -> fs::path { throw lf::Error("Couldn’t write “index.html”: Disk full"); };
    store->setBuildOperations(operations);
    store->build(Destination::none);
    LF_TRY_VERIFY(!store->isBuilding());
    EXPECT_EQ(store->status(), "Something went wrong.");
    EXPECT_EQ(store->alertMessage(), "Couldn’t write “index.html”: Disk full");
    EXPECT_EQ(store->progress(), 1);
    EXPECT_TRUE(workspace->opened.empty());
}

TEST_F(StoreBuild, AFailingSaveBeforeTheBuildAlertsAndTheBuildStillRuns) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    // A folder where the project file should be: no file can be put in its place.
    fs::create_directory(folder / "lanternfold.json");
    openAndWait(folder);
    store->build(Destination::none);
    ASSERT_TRUE(store->alertMessage());
    EXPECT_TRUE(store->alertMessage()->startsWith("Couldn’t save settings in the pictures folder: "))
        << store->alertMessage()->toStdString();
    EXPECT_TRUE(store->isBuilding());
    LF_TRY_VERIFY(!store->isBuilding());
    EXPECT_EQ(standIn.builds, 1);
    EXPECT_EQ(store->status(), "Gallery ready in “Rome gallery”.");
}

TEST_F(StoreBuild, AReportArrivingAfterTheStoreIsGoneDoesNothing) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    openAndWait(folder);
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    bool finished = false;
    lf::app::BuildOperations operations = standIn.operations();
    operations.build = [&](const lf::model::Project& project, const std::optional<std::string>&,
                           const lf::Progress& progress, const lf::StopToken&) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
        // The store is gone by now; the worker reports anyway and must not reach it.
        lf::report(progress, 1, 2, "Writing pages");
        finished = true;
        released.notify_all();
        return project.outputFolder() / "index.html";
    };
    store->setBuildOperations(operations);
    store->build(Destination::none);
    store.reset();
    {
        std::unique_lock lock(mutex);
        release = true;
        released.notify_all();
        released.wait(lock, [&] { return finished; });
    }
    // The queued reports are delivered now, to nobody.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    SUCCEED();
}

// The real steps: the gallery builder, curl and the Cloudflare publisher.
class StoreUpload : public StoreBuild {
protected:
    void SetUp() override {
        store = std::make_unique<ProjectStore>();
        store->setWorkspace(workspace);
    }
};

class StorePublish : public StoreUpload {
protected:
    static void SetUpTestSuite() {
        lf::test::usePrivateKeyring();
        twin = std::make_unique<lf::test::CloudflareTwin>();
    }
    static void TearDownTestSuite() { twin.reset(); }

    void SetUp() override {
        twin->resetAll();
        StoreUpload::SetUp();
    }

    static inline std::unique_ptr<lf::test::CloudflareTwin> twin;
};

TEST_F(StoreUpload, AnFtpUploadToARealServerEndsWithTheUploadSentence) {
    const lf::test::PlainFtpServer server("anna", "secret word");
    const fs::path folder = lf::test::makePicturesFolder(
        temp.path(), "Rome", 3,
        R"({"ftp_host": ")" + server.address() + R"(", "ftp_user": "anna", "ftp_dir": "/www/", "ftp_tls": false})");
    openAndWait(folder);
    store->setPassword("secret word");
    store->build(Destination::ftp);
    EXPECT_FALSE(store->alertMessage());
    LF_TRY_VERIFY(!store->isBuilding());
    EXPECT_FALSE(store->alertMessage()) << store->alertMessage()->toStdString();

    const auto built = lf::test::visibleFiles(temp / "Rome gallery");
    ASSERT_GT(built.size(), 5u);
    EXPECT_EQ(store->status(), QString::fromStdString("Gallery built and " + std::to_string(built.size()) +
                                                      " files uploaded."));
    EXPECT_EQ(lf::test::visibleFiles(server.home() / "www"), built);
    EXPECT_EQ(lf::app::Keychain().ftpPassword(server.address(), "anna"), "secret word");
    // The local index page opens when the upload is done.
    EXPECT_EQ(workspace->opened, std::vector<QUrl>{QUrl::fromLocalFile(
                                     QString::fromStdString((temp / "Rome gallery" / "index.html").string()))});
}

TEST_F(StorePublish, ACloudflarePublishToTheDoubleEndsWithThePublishedSentence) {
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 3, R"({"title": "Roman Holiday"})");
    openAndWait(folder);
    store->setCloudflareToken(QString(lf::test::CloudflareTwin::token) + "\n");
    store->build(Destination::cloudflare);
    LF_TRY_VERIFY(!store->isBuilding());
    ASSERT_FALSE(store->alertMessage()) << store->alertMessage()->toStdString();

    const std::string address = "https://roman-holiday.lf-test.workers.dev/";
    const auto files = lf::test::visibleFiles(temp / "Rome gallery");
    std::set<std::string> contents;
    for (const auto& [path, bytes] : files) contents.insert(bytes);
    // Every file goes up, each content once (the cover is also the first thumbnail).
    EXPECT_EQ(store->status(), QString::fromStdString("Published at " + address + " (" + std::to_string(contents.size()) +
                                                      " of " + std::to_string(files.size()) +
                                                      " files sent). A new site can take a minute to appear."));
    EXPECT_EQ(store->progress(), 1);
    EXPECT_EQ(store->settings().cfAccountID, lf::test::CloudflareTwin::accountID);
    EXPECT_EQ(store->settings().cfLastURL, address);
    EXPECT_EQ(savedSetting(folder, "cf_site_name"), "roman-holiday");
    EXPECT_EQ(savedSetting(folder, "cf_last_url"), address);
    EXPECT_EQ(lf::app::Keychain().cloudflareToken(), std::string(lf::test::CloudflareTwin::token));
    EXPECT_EQ(workspace->opened, std::vector<QUrl>{QUrl(QString::fromStdString(address))});
    // The build worked on a copy; the store's own items get their details read again.
    LF_TRY_VERIFY(!store->isReadingDetails());
    for (const lf::model::Item& item : store->project()->items) EXPECT_TRUE(item.metadataLoaded);
}

}  // namespace

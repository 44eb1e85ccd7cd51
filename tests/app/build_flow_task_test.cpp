// The background part of a build command with stand-in steps: what each step receives, the final
// sentences, how a stop and a failure end, and what a publish records in the project.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/build_flow.hpp"
#include "platform/files.hpp"
#include "platform/json.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "support/temporary_folder.hpp"

namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::app::BuildOutcome;
using lf::app::Destination;

struct Calls {
    std::vector<std::string> steps;
    std::optional<std::string> homeURL = "unset";
    fs::path uploadedFolder;
    lf::model::GallerySettings uploadSettings;
    std::string uploadPassword;
    std::optional<cf::CloudflarePublisher> publisher;
    fs::path publishedFolder;
};

// Steps that record what they get; the built index page lies in "<folder> gallery".
lf::app::BuildOperations recordingOperations(Calls& calls, int uploaded, cf::PublishResult published) {
    lf::app::BuildOperations operations;
    operations.build = [&calls](const lf::model::Project& project, const std::optional<std::string>& homeURL,
                                const lf::Progress& progress, const lf::StopToken& stop) {
        calls.steps.push_back("build");
        calls.homeURL = homeURL;
        lf::report(progress, 1, 2, "Preparing a.jpg");
        lf::throwIfStopped(stop);
        return project.outputFolder() / "index.html";
    };
    operations.upload = [&calls, uploaded](const fs::path& folder, const lf::model::GallerySettings& settings,
                                           const std::string& password, const lf::Progress&, const lf::StopToken&) {
        calls.steps.push_back("upload");
        calls.uploadedFolder = folder;
        calls.uploadSettings = settings;
        calls.uploadPassword = password;
        return uploaded;
    };
    operations.publish = [&calls, published](const cf::CloudflarePublisher& publisher, const fs::path& folder,
                                             const lf::Progress&, const lf::StopToken&) {
        calls.steps.push_back("publish");
        calls.publisher = publisher;
        calls.publishedFolder = folder;
        return published;
    };
    return operations;
}

lf::app::BuildJob jobFor(Destination destination, const fs::path& folder = "/pictures/Rome") {
    lf::app::BuildJob job;
    job.destination = destination;
    job.project.folder = folder;
    job.project.settings.title = "Rome";
    job.project.settings.cfSiteName = "rome";
    job.project.settings.ftpHost = "ftp.example.com";
    job.project.settings.ftpUser = "anna";
    job.project.settings.ftpDir = "/www";
    job.cloudflareToken = "token";
    job.ftpPassword = " typed ";
    return job;
}

cf::PublishResult publishResult(int64_t files, int64_t sent) {
    return cf::PublishResult{"https://rome.lf-test.workers.dev/", "0123456789abcdef0123456789abcdef", files, sent};
}

TEST(BuildTask, BuildOnlyEndsWithTheOutputFoldersName) {
    Calls calls;
    std::vector<std::string> texts;
    const auto outcome = lf::app::runBuildTask(
        jobFor(Destination::none), [&](int, int, const std::string& text) { texts.push_back(text); }, {}, {},
        recordingOperations(calls, 0, {}));
    EXPECT_EQ(outcome.ending, BuildOutcome::Ending::finished);
    EXPECT_EQ(outcome.status, "Gallery ready in “Rome gallery”.");
    EXPECT_EQ(outcome.alert, std::nullopt);
    EXPECT_EQ(calls.steps, std::vector<std::string>{"build"});
    EXPECT_EQ(calls.homeURL, std::nullopt);
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->indexPage, fs::path("/pictures/Rome gallery/index.html"));
    EXPECT_EQ(outcome.result->browserTarget, "/pictures/Rome gallery/index.html");
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.front(), "Starting…");
    EXPECT_EQ(texts[1], "Preparing a.jpg");
}

TEST(BuildTask, FtpUploadsTheBuiltFolderWithTheSettingsAndTypedPassword) {
    Calls calls;
    auto job = jobFor(Destination::ftp);
    job.project.output = "/srv/out/site";
    const auto outcome = lf::app::runBuildTask(job, {}, {}, {}, recordingOperations(calls, 12, {}));
    EXPECT_EQ(outcome.status, "Gallery built and 12 files uploaded.");
    EXPECT_EQ(calls.steps, (std::vector<std::string>{"build", "upload"}));
    EXPECT_EQ(calls.uploadedFolder, fs::path("/srv/out/site"));
    EXPECT_EQ(calls.uploadSettings, job.project.settings);
    EXPECT_EQ(calls.uploadPassword, " typed ");
    EXPECT_EQ(outcome.result->browserTarget, "/srv/out/site/index.html");
}

TEST(BuildTask, CloudflareSentenceCountsTheFilesSentOrSaysNothingChanged) {
    {
        Calls calls;
        const auto outcome =
            lf::app::runBuildTask(jobFor(Destination::cloudflare), {}, {}, {}, recordingOperations(calls, 0, publishResult(45, 45)));
        EXPECT_EQ(outcome.status,
                  "Published at https://rome.lf-test.workers.dev/ (45 of 45 files sent). A new site can take a minute "
                  "to appear.");
        EXPECT_EQ(outcome.result->browserTarget, "https://rome.lf-test.workers.dev/");
        EXPECT_EQ(calls.steps, (std::vector<std::string>{"build", "publish"}));
        EXPECT_EQ(calls.publishedFolder, fs::path("/pictures/Rome gallery"));
    }
    {
        Calls calls;
        const auto outcome =
            lf::app::runBuildTask(jobFor(Destination::cloudflare), {}, {}, {}, recordingOperations(calls, 0, publishResult(45, 0)));
        EXPECT_EQ(outcome.status,
                  "Published at https://rome.lf-test.workers.dev/ (nothing had changed). A new site can take a minute "
                  "to appear.");
    }
    {
        Calls calls;
        const auto outcome =
            lf::app::runBuildTask(jobFor(Destination::cloudflare), {}, {}, {}, recordingOperations(calls, 0, publishResult(45, 3)));
        EXPECT_EQ(outcome.status,
                  "Published at https://rome.lf-test.workers.dev/ (3 of 45 files sent). A new site can take a minute "
                  "to appear.");
    }
}

TEST(BuildTask, PublisherIsMadeFromTheJob) {
    auto job = jobFor(Destination::cloudflare);
    job.project.settings.cfAccountID = "abc";
    job.project.settings.cfDomain = " https://www.Photos.Example.com/gallery ";
    Calls calls;
    lf::app::runBuildTask(job, {}, {}, {}, recordingOperations(calls, 0, publishResult(1, 1)));
    ASSERT_TRUE(calls.publisher);
    EXPECT_EQ(calls.publisher->token(), "token");
    EXPECT_EQ(calls.publisher->siteName(), "rome");
    EXPECT_EQ(calls.publisher->accountID, "abc");
    EXPECT_EQ(calls.publisher->zone, "photos.example.com");
    EXPECT_EQ(calls.publisher->hostname, "rome.photos.example.com");
    EXPECT_FALSE(calls.publisher->lock);

    job.project.settings.cfDomain = "";
    const auto plain = lf::app::publisherFor(job);
    EXPECT_EQ(plain.zone, "");
    EXPECT_EQ(plain.hostname, "");
}

TEST(BuildTask, LockedPublisherCarriesTheLock) {
    auto job = jobFor(Destination::cloudflare);
    job.project.settings.locked = true;
    job.lock = cf::SiteLock{" pass ", "c2l0ZS1rZXk=", "Rome", "dark", "it"};
    EXPECT_EQ(lf::app::publisherFor(job).lock, job.lock);
}

TEST(BuildTask, PublishedHandlerRunsBeforeTheEndAndNotAfterAFailure) {
    Calls calls;
    std::vector<cf::PublishResult> recorded;
    const auto outcome = lf::app::runBuildTask(
        jobFor(Destination::cloudflare), {}, {}, [&](const cf::PublishResult& r) { recorded.push_back(r); },
        recordingOperations(calls, 0, publishResult(10, 2)));
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0], publishResult(10, 2));
    EXPECT_EQ(outcome.result->published, publishResult(10, 2));

    recorded.clear();
    auto failing = recordingOperations(calls, 0, {});
    failing.publish = [](const cf::CloudflarePublisher&, const fs::path&, const lf::Progress&,
                         const lf::StopToken&) -> cf::PublishResult { throw cf::CloudflareError::noAccount(); };
    const auto failed = lf::app::runBuildTask(
        jobFor(Destination::cloudflare), {}, {}, [&](const cf::PublishResult& r) { recorded.push_back(r); }, failing);
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(failed.ending, BuildOutcome::Ending::failed);
    EXPECT_EQ(failed.status, "Something went wrong.");
    EXPECT_EQ(failed.alert, std::string(cf::CloudflareError::noAccount().what()));
    EXPECT_FALSE(failed.result);
}

TEST(BuildTask, StopEndsWithStoppedAndNoAlertBeforeAnyUpload) {
    Calls calls;
    std::stop_source source;
    source.request_stop();
    const auto outcome =
        lf::app::runBuildTask(jobFor(Destination::ftp), {}, source.get_token(), {}, recordingOperations(calls, 3, {}));
    EXPECT_EQ(outcome.ending, BuildOutcome::Ending::stopped);
    EXPECT_EQ(outcome.status, "Stopped.");
    EXPECT_EQ(outcome.alert, std::nullopt);
    EXPECT_EQ(calls.steps, std::vector<std::string>{"build"});
}

TEST(BuildTask, AnyOtherErrorIsSomethingWentWrongWithItsOwnText) {
    Calls calls;
    auto operations = recordingOperations(calls, 0, {});
    operations.upload = [](const fs::path&, const lf::model::GallerySettings&, const std::string&, const lf::Progress&,
                           const lf::StopToken&) -> int { throw lf::Error("Upload failed: Access denied: 530"); };
    auto outcome = lf::app::runBuildTask(jobFor(Destination::ftp), {}, {}, {}, operations);
    EXPECT_EQ(outcome.status, "Something went wrong.");
    EXPECT_EQ(outcome.alert, "Upload failed: Access denied: 530");

    // Errors of the system (not the program's own) show their own description too.
    operations.build = [](const lf::model::Project&, const std::optional<std::string>&, const lf::Progress&,
                          const lf::StopToken&) -> fs::path {
        throw std::filesystem::filesystem_error("cannot create directory", "/x", std::make_error_code(std::errc::permission_denied));
    };
    outcome = lf::app::runBuildTask(jobFor(Destination::ftp), {}, {}, {}, operations);
    EXPECT_EQ(outcome.status, "Something went wrong.");
    ASSERT_TRUE(outcome.alert);
    EXPECT_NE(outcome.alert->find("cannot create directory"), std::string::npos);
}

TEST(RecordPublication, WritesAccountAndAddressIntoTheProjectFile) {
    const lf::testing::TemporaryFolder temporary;
    const fs::path folder = temporary.path();
    lf::model::Project project(folder);
    project.settings.cfSiteName = "rome";
    lf::app::recordPublication(project, publishResult(4, 4));
    EXPECT_EQ(project.settings.cfAccountID, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(project.settings.cfLastURL, "https://rome.lf-test.workers.dev/");
    const auto file = lf::json::parse(lf::platform::readFile(folder / "lanternfold.json"));
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)["settings"]["cf_account_id"], "0123456789abcdef0123456789abcdef");
    EXPECT_EQ((*file)["settings"]["cf_last_url"], "https://rome.lf-test.workers.dev/");
    EXPECT_EQ((*file)["settings"]["cf_site_name"], "rome");
    fs::remove_all(folder);

    // A folder that cannot take the file is ignored quietly: the publish already succeeded.
    lf::model::Project gone;
    gone.folder = folder / "missing";
    EXPECT_NO_THROW(lf::app::recordPublication(gone, publishResult(4, 4)));
    EXPECT_EQ(gone.settings.cfLastURL, "https://rome.lf-test.workers.dev/");
}

}  // namespace

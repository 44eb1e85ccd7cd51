// The two home page steps of a Cloudflare build, with stand-in steps: the look-up before the build
// (whose address the pages link back to) and the refresh after the publish, both silent on failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/build_flow.hpp"

namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::app::BuildOutcome;
using lf::app::Destination;

constexpr const char* homePage = "https://lanternfold-home.lf-test.workers.dev/";
constexpr const char* publishedAccount = "0123456789abcdef0123456789abcdef";

struct Seen {
    std::vector<std::string> events;  // steps and progress texts, in order
    std::optional<std::string> homeURL = "unset";
    std::string lookUpAccount;
    std::string refreshToken;
    std::string refreshAccount;
};

using HomeStep = std::function<std::optional<std::string>()>;

lf::app::BuildOperations operationsWith(Seen& seen, HomeStep lookUp, HomeStep refresh) {
    lf::app::BuildOperations operations;
    operations.build = [&seen](const lf::model::Project& project, const std::optional<std::string>& homeURL,
                               const lf::Progress&, const lf::StopToken& stop) {
        lf::throwIfStopped(stop);
        seen.events.push_back("build");
        seen.homeURL = homeURL;
        return project.outputFolder() / "index.html";
    };
    operations.upload = [&seen](const fs::path&, const lf::model::GallerySettings&, const std::string&,
                                const lf::Progress&, const lf::StopToken&) {
        seen.events.push_back("upload");
        return 4;
    };
    operations.publish = [&seen](const cf::CloudflarePublisher&, const fs::path&, const lf::Progress&,
                                 const lf::StopToken&) {
        seen.events.push_back("publish");
        return cf::PublishResult{"https://rome.lf-test.workers.dev/", publishedAccount, 10, 2};
    };
    operations.homeAddress = [&seen, lookUp](const std::string&, const std::string& accountID, const lf::StopToken&) {
        seen.events.push_back("look up");
        seen.lookUpAccount = accountID;
        return lookUp();
    };
    operations.refreshHome = [&seen, refresh](const std::string& token, const std::string& accountID,
                                              const lf::StopToken&) {
        seen.events.push_back("refresh");
        seen.refreshToken = token;
        seen.refreshAccount = accountID;
        return refresh();
    };
    return operations;
}

lf::app::BuildJob jobFor(Destination destination) {
    lf::app::BuildJob job;
    job.destination = destination;
    job.project.folder = "/pictures/Rome";
    job.project.settings.cfSiteName = "rome";
    job.project.settings.cfAccountID = "stored-account";
    job.cloudflareToken = "token";
    return job;
}

BuildOutcome run(Seen& seen, const lf::app::BuildJob& job, HomeStep lookUp, HomeStep refresh) {
    return lf::app::runBuildTask(
        job, [&seen](int, int, const std::string& text) { seen.events.push_back(text); }, {}, {},
        operationsWith(seen, std::move(lookUp), std::move(refresh)));
}

TEST(BuildFlowHome, CloudflareBuildLinksToTheHomePageAndRefreshesIt) {
    Seen seen;
    const auto outcome = run(seen, jobFor(Destination::cloudflare), [] { return std::string(homePage); },
                             [] { return std::string(homePage); });
    EXPECT_EQ(seen.events, (std::vector<std::string>{"Starting…", "Checking for a home page…", "look up", "build",
                                                     "publish", "Updating the home page…", "refresh"}));
    EXPECT_EQ(seen.homeURL, std::optional<std::string>(homePage));
    EXPECT_EQ(seen.lookUpAccount, "stored-account");
    // The refresh goes to the account the gallery was just published into.
    EXPECT_EQ(seen.refreshAccount, publishedAccount);
    EXPECT_EQ(seen.refreshToken, "token");
    EXPECT_EQ(outcome.status,
              "Published at https://rome.lf-test.workers.dev/ (2 of 10 files sent). The home page was updated too. "
              "A new site can take a minute to appear.");
}

TEST(BuildFlowHome, NoHomePageOrAFailingStepChangesNothingButTheLink) {
    const HomeStep none = [] { return std::nullopt; };
    const HomeStep failing = []() -> std::optional<std::string> { throw std::runtime_error("network down"); };
    for (const HomeStep& step : {none, failing}) {
        Seen seen;
        const auto outcome = run(seen, jobFor(Destination::cloudflare), step, step);
        EXPECT_EQ(outcome.ending, BuildOutcome::Ending::finished);
        EXPECT_EQ(outcome.alert, std::nullopt);
        EXPECT_EQ(seen.homeURL, std::nullopt);
        EXPECT_EQ(outcome.status,
                  "Published at https://rome.lf-test.workers.dev/ (2 of 10 files sent). A new site can take a minute "
                  "to appear.");
    }
}

TEST(BuildFlowHome, StopDuringTheLookUpStopsBeforeTheBuild) {
    Seen seen;
    std::stop_source source;
    auto operations = operationsWith(seen, [] { return std::nullopt; }, [] { return std::nullopt; });
    operations.homeAddress = [&source](const std::string&, const std::string&, const lf::StopToken&) {
        source.request_stop();
        return std::optional<std::string>(homePage);
    };
    const auto outcome = lf::app::runBuildTask(jobFor(Destination::cloudflare), {}, source.get_token(), {}, operations);
    EXPECT_EQ(outcome.ending, BuildOutcome::Ending::stopped);
    EXPECT_EQ(outcome.status, "Stopped.");
    EXPECT_TRUE(seen.events.empty());
}

TEST(BuildFlowHome, OtherDestinationsNeverLookForAHomePage) {
    for (Destination destination : {Destination::none, Destination::ftp}) {
        Seen seen;
        auto job = jobFor(destination);
        job.project.settings.ftpHost = "ftp.example.com";
        job.project.settings.ftpUser = "anna";
        run(seen, job, [] { return std::string(homePage); }, [] { return std::string(homePage); });
        for (const std::string& event : seen.events) {
            EXPECT_NE(event, "look up");
            EXPECT_NE(event, "refresh");
            EXPECT_EQ(event.find("home page"), std::string::npos) << event;
        }
        EXPECT_EQ(seen.homeURL, std::nullopt);
    }
}

}  // namespace

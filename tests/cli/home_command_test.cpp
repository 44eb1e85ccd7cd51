// lanternfold home list | preview | publish, and the home page steps of `lanternfold publish
// --cloudflare`, against the Cloudflare double: galleries appear on the home page, link back to it,
// and the page is refreshed when a gallery is published.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/files.hpp"
#include "platform/http_client.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/publish_support.hpp"
#include "support/temporary_folder.hpp"

namespace {

namespace fs = std::filesystem;
using lf::test::CloudflareTwin;
using lf::test::runLanternfold;

constexpr const char* homeAddress = "https://lanternfold-home.lf-test.workers.dev/";

std::string fetchBody(const std::string& url) {
    lf::platform::HttpRequest request;
    request.url = url;
    request.timeout = std::chrono::seconds(60);
    return lf::platform::HttpClient().send(request).body;
}

class HomeCommand : public testing::Test {
protected:
    static void SetUpTestSuite() {
        lf::test::usePrivateKeyring();
        twin = std::make_unique<CloudflareTwin>();
    }
    static void TearDownTestSuite() { twin.reset(); }
    void SetUp() override { twin->resetAll(); }

    // The user's preferences and caches live in the test's folder; the token comes from the
    // environment unless a test says otherwise.
    std::map<std::string, std::string> environment(const std::string& token = CloudflareTwin::token) const {
        return {{"XDG_CONFIG_HOME", (temp.path() / "config").string()},
                {"XDG_CACHE_HOME", (temp.path() / "cache").string()},
                {"LANTERNFOLD_CF_TOKEN", token}};
    }

    lf::test::ProgramResult home(const std::string& action, const std::string& token = CloudflareTwin::token) const {
        return runLanternfold({"home", action}, environment(token));
    }

    lf::test::ProgramResult publishGallery(const std::string& name, const std::string& title) const {
        const fs::path folder =
            lf::test::makePicturesFolder(temp.path(), name, 2, R"({"title": ")" + title + R"("})");
        return runLanternfold({"publish", folder.string(), "--cloudflare"}, environment());
    }

    static inline std::unique_ptr<CloudflareTwin> twin;
    lf::testing::TemporaryFolder temp;
};

TEST_F(HomeCommand, GalleriesAppearOnTheHomePageAndLinkBackOnceThereIsOne) {
    // Without a home page a publish creates none and its pages have no link back.
    const auto rome = publishGallery("Rome", "Roman Holiday");
    ASSERT_EQ(rome.exitCode, 0) << rome.err;
    EXPECT_EQ(rome.out.find("home page"), std::string::npos) << rome.out;
    EXPECT_NE(rome.err.find("Checking for a home page…"), std::string::npos);
    EXPECT_EQ(lf::platform::readFile(temp.path() / "Rome gallery" / "index.html").find("class=\"allg\""),
              std::string::npos);
    EXPECT_EQ(fetchBody(std::string(homeAddress) + "lanternfold-home.json").find("Lanternfold"), std::string::npos);

    const auto firstHome = home("publish");
    ASSERT_EQ(firstHome.exitCode, 0) << firstHome.err;
    EXPECT_EQ(firstHome.out, "Published. Publish each gallery once more to add an “All galleries” link to it.\n");

    const auto listed = home("list");
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "roman-holiday\tshown\thttps://roman-holiday.lf-test.workers.dev/\t2\topen\tRoman Holiday\n");

    // With a home page, a new gallery links back to it and is put first on it.
    const auto paris = publishGallery("Paris", "Paris in Spring");
    ASSERT_EQ(paris.exitCode, 0) << paris.err;
    EXPECT_NE(paris.out.find(" The home page was updated too. A new site can take a minute to appear.\n"),
              std::string::npos)
        << paris.out;
    EXPECT_NE(paris.err.find("Updating the home page…"), std::string::npos);
    EXPECT_NE(lf::platform::readFile(temp.path() / "Paris gallery" / "index.html")
                  .find(std::string("<p class=\"allg\"><a href=\"") + homeAddress + "\">"),
              std::string::npos);
    const std::string page = fetchBody(homeAddress);
    const size_t parisAt = page.find("Paris in Spring");
    const size_t romeAt = page.find("Roman Holiday");
    ASSERT_NE(parisAt, std::string::npos) << page;
    ASSERT_NE(romeAt, std::string::npos) << page;
    EXPECT_LT(parisAt, romeAt);

    const auto secondHome = home("publish");
    ASSERT_EQ(secondHome.exitCode, 0) << secondHome.err;
    EXPECT_EQ(secondHome.out, std::string("Published at ") + homeAddress + "\n");

    const auto preview = home("preview");
    ASSERT_EQ(preview.exitCode, 0) << preview.err;
    const fs::path index = temp.path() / "cache" / "Lanternfold Home Page" / "index.html";
    EXPECT_EQ(preview.out, index.string() + "\n");
    EXPECT_NE(lf::platform::readFile(index).find("<p class=\"count\">2 galleries</p>"), std::string::npos);
}

TEST_F(HomeCommand, FailuresPrintTheWindowsAlertAndExitOne) {
    for (const char* action : {"list", "preview", "publish"}) {
        const auto noToken = home(action, " \n");
        EXPECT_EQ(noToken.exitCode, 1) << action;
        EXPECT_EQ(noToken.err, "Add your Cloudflare API token first.\n") << action;
        EXPECT_EQ(noToken.out, "") << action;
    }
    const auto nothing = home("publish");
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.err, "There are no published galleries to show yet. Publish a gallery first.\n");

    const auto usage = runLanternfold({"home", "show"}, environment());
    EXPECT_EQ(usage.exitCode, 2);
}

}  // namespace

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

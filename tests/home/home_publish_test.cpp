// Publishing the home page against the local Cloudflare double: the site it serves, the custom host
// name it is attached to, and a bad address label refused before anything is uploaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "home/home_service.hpp"
#include "platform/files.hpp"
#include "platform/http_client.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::json::Json;
using lf::test::CloudflareTwin;

RemoteGallery gallery(const std::string& name) {
    RemoteGallery g;
    g.siteName = name;
    g.title = "Title of " + name;
    g.url = "https://" + name + ".lf-test.workers.dev/";
    g.coverURL = g.url + "cover.jpg";
    g.count = 2;
    return g;
}

std::string fetchBody(const std::string& url) {
    platform::HttpRequest request;
    request.url = url;
    request.timeout = std::chrono::seconds(60);
    const auto response = platform::HttpClient().send(request);
    EXPECT_EQ(response.status, 200) << url;
    return response.body;
}

std::vector<Json> recorded(const Json& requests, const std::string& pathContains, const std::string& method) {
    std::vector<Json> found;
    for (const Json& request : requests) {
        if (json::getString(request, "path", "").find(pathContains) == std::string::npos) continue;
        if (json::getString(request, "method", "") != method) continue;
        found.push_back(request);
    }
    return found;
}

class HomePublishTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { twin = std::make_unique<CloudflareTwin>(); }
    static void TearDownTestSuite() { twin.reset(); }
    void SetUp() override { twin->resetAll(); }

    static inline std::unique_ptr<CloudflareTwin> twin;
    lf::testing::TemporaryFolder root;
};

TEST_F(HomePublishTest, PublishesTheShownGalleriesAtTheLabelUnderTheDomain) {
    HomeSettings settings;
    settings.title = "Family";
    settings.homeName = " Photos ";
    settings.galleries = {{"b", false}};
    const std::string url = publishHome(settings, {gallery("a"), gallery("b")}, CloudflareTwin::accountID,
                                        CloudflareTwin::token, "https://www.Example.com/", root.path() / "work");
    EXPECT_EQ(url, "https://photos.example.com/");

    const auto domains = recorded(twin->requests(), "/workers/domains", "PUT");
    ASSERT_EQ(domains.size(), 1u);
    const auto body = json::parse(json::getString(domains[0], "body", ""));
    ASSERT_TRUE(body);
    EXPECT_EQ(json::getString(*body, "hostname", ""), "photos.example.com");
    EXPECT_EQ(json::getString(*body, "service", ""), "lanternfold-home");

    // The page is served at both addresses; the hidden gallery is left off it but kept in the manifest.
    const std::string page = fetchBody("https://photos.example.com/");
    EXPECT_NE(page.find("<h1>Family</h1>"), std::string::npos);
    EXPECT_NE(page.find("Title of a"), std::string::npos);
    EXPECT_EQ(page.find("Title of b"), std::string::npos);
    const auto manifest =
        HomeManifest::decode(fetchBody("https://lanternfold-home.lf-test.workers.dev/lanternfold-home.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->galleries, (std::vector<GalleryRef>{{"a", true}, {"b", false}}));
    EXPECT_EQ(manifest->homeName, std::optional<std::string>(" Photos "));
}

TEST_F(HomePublishTest, WithoutADomainNoHostIsAttached) {
    HomeSettings settings;
    const std::string url = publishHome(settings, {gallery("a")}, CloudflareTwin::accountID, CloudflareTwin::token,
                                        "  ", root.path() / "work");
    EXPECT_EQ(url, "https://lanternfold-home.lf-test.workers.dev/");
    EXPECT_TRUE(recorded(twin->requests(), "/workers/domains", "PUT").empty());
}

TEST_F(HomePublishTest, BadLabelIsRefusedAfterTheLocalBuildAndBeforeAnyUpload) {
    for (const char* domain : {"", "example.com"}) {
        twin->resetAll();
        HomeSettings settings;
        settings.homeName = "-x";
        const fs::path folder = root.path() / "work";
        try {
            publishHome(settings, {gallery("a")}, CloudflareTwin::accountID, CloudflareTwin::token, domain, folder);
            ADD_FAILURE() << "published with a bad label under “" << domain << "”";
        } catch (const cf::CloudflareError& error) {
            EXPECT_EQ(error.kind(), cf::CloudflareError::Kind::badHomeName);
            EXPECT_EQ(std::string(error.what()),
                      "The home page address can only use lowercase letters, numbers and dashes, like “galleries”. "
                      "Leave it empty to use your domain itself.");
        }
        EXPECT_TRUE(fs::exists(folder / "index.html"));
        EXPECT_TRUE(twin->requests().empty()) << twin->requests().dump();
    }
}

}  // namespace
}  // namespace lf::home

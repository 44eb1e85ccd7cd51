// Discovery against the local Cloudflare double: real sites deployed once for the whole suite, read
// over HTTPS the way a published account is read, including sites that are slow, failing or silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <thread>

#include "home/gallery_discovery.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

namespace fs = std::filesystem;
using json::Json;
using publish::cloudflare::CloudflarePublisher;
using test::CloudflareTwin;

std::string workersAddress(const std::string& name) { return "https://" + name + ".lf-test.workers.dev/"; }

std::string galleryManifest(const std::string& title, int count, const std::string& extra = {}) {
    return R"({"app": "Lanternfold", "kind": "gallery", "title": ")" + title + R"(", "description": "",
               "count": )" + std::to_string(count) + R"(, "cover": "cover.jpg", "updated": "2026-12-05T09:54:35Z")" +
           extra + "}\n";
}

const char* homeManifest = R"({"app": "Lanternfold", "kind": "home", "title": "All my galleries",
    "description": "", "template": "dark", "language": "fr",
    "galleries": [{"path": "rome", "included": true}], "updated": "2026-12-05T09:54:35Z"})";

class GalleryDiscovery : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        twin = std::make_unique<CloudflareTwin>();
        twin->resetAll();
        folder = std::make_unique<lf::testing::TemporaryFolder>();
        // A gallery of this program with two custom host names, a locked one, one from an earlier
        // program with only its index page, one whose page has no generator mark, one whose manifest
        // is of another kind, a Worker without assets, and the home page site.
        deploy("rome", {{"lanternfold-gallery.json", galleryManifest("Rome", 3)}, {"index.html", "<h1>Rome</h1>"}});
        deploy("secret", {{"lanternfold-gallery.json", galleryManifest("Private", 2, R"(, "locked": true)")}});
        deploy("old", {{"index.html", R"(<html><head><meta name="generator" content="Tessavane 2.1"></head>)"
                                      "<body><h1>Tom &amp; Jerry&#x27;s</h1><p class=\"count\">5 photos</p>"
                                      R"(<a href="p/1.html"><img src="thumbs/first.jpg"></a>)"
                                      R"(<img src="thumbs/second.jpg"></body></html>)"}});
        deploy("unmarked", {{"index.html", "<h1>Someone else’s site</h1>"}});
        deploy("otherkind", {{"lanternfold-gallery.json", R"({"app": "Lanternfold", "kind": "home", "title": "No",
                                                             "description": "", "count": 1, "cover": "cover.jpg",
                                                             "updated": "2026-12-05T09:54:35Z"})"},
                             {"index.html", R"(<meta name="generator" content="Lanternfold 1.0"><h1>By its page</h1>)"
                                            R"(<p class="count">4</p>)"}});
        deploy(homeSiteName, {{"lanternfold-home.json", homeManifest},
                              {"index.html", R"(<meta content="Lanternfold"><main class="index home">)"}});
        deployWithoutAssets("plain");
        attach("rome", "rome-holidays.example.com");
        attach("rome", "rome.example.com");
    }
    static void TearDownTestSuite() {
        twin.reset();
        folder.reset();
    }
    void TearDown() override {
        twin->post("/sites/behaviour/clear");
        twin->post("/faults/clear");
    }

    static void deploy(const std::string& name, const std::map<std::string, std::string>& files) {
        const fs::path site = folder->path() / name;
        for (const auto& [path, bytes] : files) {
            fs::create_directories((site / path).parent_path());
            platform::writeFileAtomically(site / path, bytes);
        }
        CloudflarePublisher publisher(CloudflareTwin::token, name);
        publisher.accountID = CloudflareTwin::accountID;
        publisher.publish(site);
    }

    // A Worker made of code alone, as a user may have besides the galleries.
    static void deployWithoutAssets(const std::string& name) {
        const std::string boundary = "discovery-test-boundary";
        const std::string body =
            "--" + boundary + "\r\nContent-Disposition: form-data; name=\"metadata\"\r\nContent-Type: application/json\r\n\r\n" +
            R"({"main_module": "w.js", "compatibility_date": "2025-07-18"})" + "\r\n--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"w.js\"; filename=\"w.js\"\r\n"
            "Content-Type: application/javascript+module\r\n\r\n"
            "export default { fetch() { return new Response('code only'); } };\r\n--" + boundary + "--\r\n";
        CloudflarePublisher(CloudflareTwin::token, name)
            .request("PUT", "/accounts/" + std::string(CloudflareTwin::accountID) + "/workers/scripts/" + name,
                     std::nullopt, body, "multipart/form-data; boundary=" + boundary);
    }

    static void attach(const std::string& name, const std::string& hostname) {
        CloudflarePublisher(CloudflareTwin::token, name)
            .request("PUT", "/accounts/" + std::string(CloudflareTwin::accountID) + "/workers/domains",
                     Json{{"hostname", hostname}, {"service", name}});
    }

    static const RemoteGallery* find(const DiscoveryResult& result, const std::string& name) {
        for (const RemoteGallery& gallery : result.galleries) {
            if (gallery.siteName == name) return &gallery;
        }
        return nullptr;
    }

    static std::vector<std::string> foundNames(const DiscoveryResult& result) {
        std::vector<std::string> names;
        for (const RemoteGallery& gallery : result.galleries) names.push_back(gallery.siteName);
        std::sort(names.begin(), names.end());
        return names;
    }

    static inline std::unique_ptr<CloudflareTwin> twin;
    static inline std::unique_ptr<lf::testing::TemporaryFolder> folder;
};

TEST_F(GalleryDiscovery, FindsEveryGalleryByManifestOrPageAndNothingElse) {
    // The home page site as it is when its manifest is missing.
    twin->post("/sites/behaviour", Json{{"script", homeSiteName}, {"behaviour", "failing"}, {"status", 404},
                                        {"pathContains", "lanternfold-home.json"}});
    twin->post("/requests/clear");
    const DiscoveryResult result = discover(CloudflareTwin::token, "");

    EXPECT_EQ(result.accountID, CloudflareTwin::accountID);
    EXPECT_EQ(result.subdomain, CloudflareTwin::subdomain);
    // The Worker without assets is not listed; every other script is read.
    std::vector<std::string> listed = result.names;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"lanternfold-home", "old", "otherkind", "rome", "secret", "unmarked"}));
    EXPECT_EQ(foundNames(result), (std::vector<std::string>{"old", "otherkind", "rome", "secret"}));
    EXPECT_FALSE(result.home) << "the home page site has no manifest, and its page is no gallery";
    EXPECT_EQ(result.domains, (std::map<std::string, std::string>{{"rome", "rome.example.com"}}));

    const RemoteGallery* rome = find(result, "rome");
    ASSERT_TRUE(rome);
    EXPECT_EQ(rome->title, "Rome");
    EXPECT_EQ(rome->count, 3);
    EXPECT_EQ(rome->url, "https://rome.example.com/") << "the shorter of the two host names";
    EXPECT_EQ(rome->coverURL, workersAddress("rome") + "cover.jpg") << "pictures are read at the Workers address";
    EXPECT_FALSE(rome->locked);
    ASSERT_TRUE(rome->updated);
    EXPECT_EQ(rome->updated, result.modified.at("rome"));
    EXPECT_LT(std::chrono::abs(*rome->updated - std::chrono::system_clock::now()), std::chrono::hours(1));

    const RemoteGallery* secret = find(result, "secret");
    ASSERT_TRUE(secret);
    EXPECT_TRUE(secret->locked);
    EXPECT_EQ(secret->url, workersAddress("secret"));

    const RemoteGallery* old = find(result, "old");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->title, "Tom & Jerry's");
    EXPECT_EQ(old->count, 5);
    EXPECT_EQ(old->coverURL, workersAddress("old") + "thumbs/first.jpg");
    EXPECT_FALSE(old->locked);

    const RemoteGallery* otherKind = find(result, "otherkind");
    ASSERT_TRUE(otherKind);
    EXPECT_EQ(otherKind->title, "By its page");
    EXPECT_EQ(otherKind->count, 4);

    // Every site read is fresh, goes to the Workers address and carries no credential.
    int siteReads = 0;
    for (const Json& request : twin->requests()) {
        if (json::getString(request, "kind", "") != "site") continue;
        ++siteReads;
        const std::string host = json::getString(request, "host", "");
        EXPECT_TRUE(host.ends_with(".lf-test.workers.dev")) << host;
        EXPECT_TRUE(request["query"].contains("v")) << host;
        EXPECT_FALSE(request["headers"].contains("authorization")) << host;
        EXPECT_FALSE(request["headers"].contains("cookie")) << host;
        EXPECT_EQ(json::getString(request["headers"], "cache-control", ""), "no-cache") << host;
    }
    // One read for each manifest, a second one for the page where there was no usable manifest.
    EXPECT_EQ(siteReads, 9);
}

TEST_F(GalleryDiscovery, ReadsEachSiteOnItsOwnAndLeavesOutThoseThatFail) {
    twin->post("/sites/behaviour", Json::array({Json{{"script", "rome"}, {"behaviour", "slow"}, {"ms", 1500}},
                                                Json{{"script", "secret"}, {"behaviour", "failing"}, {"status", 500}},
                                                Json{{"script", "otherkind"}, {"behaviour", "silent"}}}));
    twin->post("/requests/clear");
    const DiscoveryResult result = discover(CloudflareTwin::token, CloudflareTwin::accountID);
    // The failing and the silent site are left out; the slow one finishes last but is found.
    EXPECT_EQ(foundNames(result), (std::vector<std::string>{"old", "rome"}));
    ASSERT_FALSE(result.galleries.empty());
    EXPECT_EQ(result.galleries.back().siteName, "rome") << "galleries come in the order their reads finished";
    // The failing site's page is still read (a damaged manifest may hide a gallery); the silent site
    // is not asked again after its manifest read timed out.
    std::map<std::string, int> reads;
    for (const Json& request : twin->requests()) {
        if (json::getString(request, "kind", "") == "site") ++reads[json::getString(request, "host", "")];
    }
    EXPECT_EQ(reads["secret.lf-test.workers.dev"], 2);
    EXPECT_EQ(reads["otherkind.lf-test.workers.dev"], 1);
}

TEST_F(GalleryDiscovery, TheHomePageSiteGivesItsManifest) {
    const DiscoveryResult result = discover(CloudflareTwin::token, "");
    ASSERT_TRUE(result.home);
    EXPECT_EQ(result.home, HomeManifest::decode(homeManifest));
    EXPECT_EQ(result.home->templateName, "dark");
    EXPECT_FALSE(find(result, homeSiteName));

    // Read on its own, a site gives the same; the modification time is the one handed in.
    const auto home = readSite(homeSiteName, workersAddress(homeSiteName), workersAddress(homeSiteName), std::nullopt);
    ASSERT_TRUE(home);
    EXPECT_EQ(std::get<HomeManifest>(*home).title, "All my galleries");
    const auto rome = readSite("rome", workersAddress("rome"), "https://rome.example.com/", std::nullopt);
    ASSERT_TRUE(rome);
    EXPECT_EQ(std::get<RemoteGallery>(*rome).url, "https://rome.example.com/");
    EXPECT_FALSE(std::get<RemoteGallery>(*rome).updated);
}

TEST_F(GalleryDiscovery, FetchFreshGivesOnlyTheBodyOfAStatus200Reply) {
    EXPECT_EQ(fetchFresh(workersAddress("rome") + "lanternfold-gallery.json"), galleryManifest("Rome", 3));
    EXPECT_FALSE(fetchFresh(workersAddress("rome") + "missing.json")) << "404";
    EXPECT_FALSE(fetchFresh("https://nobody.lf-test.workers.dev/")) << "no such site";
    twin->post("/sites/behaviour", Json{{"script", "rome"}, {"behaviour", "failing"}, {"status", 503}});
    EXPECT_FALSE(fetchFresh(workersAddress("rome") + "lanternfold-gallery.json"));
}

TEST_F(GalleryDiscovery, ListingFailuresEndDiscoveryButAFailedDomainsListingDoesNot) {
    EXPECT_THROW(discover("wrong-token", ""), publish::cloudflare::CloudflareError);

    twin->addFault(Json{{"method", "GET"}, {"pathContains", "/workers/scripts"}, {"action", "status"}, {"status", 500}});
    EXPECT_THROW(discover(CloudflareTwin::token, ""), publish::cloudflare::CloudflareError);

    twin->addFault(Json{{"method", "GET"}, {"pathContains", "/workers/domains"}, {"action", "status"}, {"status", 403}});
    const DiscoveryResult result = discover(CloudflareTwin::token, "");
    EXPECT_TRUE(result.domains.empty());
    const RemoteGallery* rome = find(result, "rome");
    ASSERT_TRUE(rome);
    EXPECT_EQ(rome->url, workersAddress("rome"));
}

TEST_F(GalleryDiscovery, StopEndsDiscoveryWhileSitesAreStillSilent) {
    twin->post("/sites/behaviour", Json{{"script", "rome"}, {"behaviour", "silent"}});
    twin->post("/requests/clear");
    std::stop_source stop;
    std::thread stopper([&] {
        // Stop once every gallery manifest, the silent site's included, has been asked for.
        twin->waitForRequest("/lanternfold-gallery.json?v=", 5);
        stop.request_stop();
    });
    EXPECT_THROW(discover(CloudflareTwin::token, "", stop.get_token()), Cancelled);
    stopper.join();
}

}  // namespace
}  // namespace lf::home

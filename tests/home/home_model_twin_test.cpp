// HomeModel and the home page service with the real discovery and publisher, against the Cloudflare
// double: galleries published in the account are found, the home page is published and found again,
// a home page edited elsewhere is adopted, and the after-publish refresh puts a new gallery first.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>
#include <string>
#include <vector>

#include "home/gallery_manifest.hpp"
#include "home/gallery_order.hpp"
#include "home/home_model.hpp"
#include "home/home_service.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::test::CloudflareTwin;
using Names = std::vector<std::string>;

constexpr const char* homeAddressText = "https://lanternfold-home.lf-test.workers.dev/";

Names names(const std::vector<RemoteGallery>& galleries) {
    Names out;
    for (const RemoteGallery& g : galleries) out.push_back(g.siteName);
    return out;
}

class HomeTwinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { twin = std::make_unique<CloudflareTwin>(); }
    static void TearDownTestSuite() { twin.reset(); }
    void SetUp() override { twin->resetAll(); }

    // Publishes a small gallery site with its manifest, as a gallery build would leave it.
    void publishGallery(const std::string& name, const std::string& title, int count, bool locked = false) {
        const fs::path site = root.path() / ("site-" + name);
        fs::create_directories(site);
        platform::writeFileAtomically(site / "index.html", "<!doctype html><title>" + title + "</title>\n");
        platform::writeFileAtomically(site / "cover.jpg", "not really a picture " + name);
        GalleryManifest manifest;
        manifest.title = title;
        manifest.count = count;
        manifest.updated = "2026-12-05T09:54:35Z";
        if (locked) manifest.locked = true;
        platform::writeFileAtomically(site / GalleryManifest::fileName, manifest.encoded());
        cf::CloudflarePublisher publisher(CloudflareTwin::token, name);
        publisher.publish(site);
    }

    std::unique_ptr<HomeModel> makeModel() {
        return std::make_unique<HomeModel>(HomePreferences(root.path() / "Lanternfold.conf"), root.path() / "work",
                                           HomeModel::Operations::standard());
    }

    static void loadAndWait(HomeModel& model) {
        QSignalSpy finished(&model, &HomeModel::loadFinished);
        model.load(CloudflareTwin::token, "");
        ASSERT_TRUE(finished.wait(60000));
        ASSERT_EQ(model.errorMessage(), std::nullopt);
    }

    static void publishAndWait(HomeModel& model, const std::string& domain = "") {
        QSignalSpy finished(&model, &HomeModel::publishFinished);
        model.publish(CloudflareTwin::token, "", domain);
        ASSERT_TRUE(finished.wait(60000));
        ASSERT_EQ(model.errorMessage(), std::nullopt);
    }

    static inline std::unique_ptr<CloudflareTwin> twin;
    lf::testing::TemporaryFolder root;
};

TEST_F(HomeTwinTest, LoadFindsTheGalleriesAndPublishPutsThemOnTheHomePage) {
    publishGallery("rome", "Rome", 12, true);
    publishGallery("paris", "Paris", 1);
    auto model = makeModel();
    loadAndWait(*model);
    EXPECT_TRUE(model->loaded());
    EXPECT_EQ(model->settings().accountID, CloudflareTwin::accountID);
    ASSERT_EQ(model->galleries().size(), 2u);
    EXPECT_EQ(homeAddress(CloudflareTwin::token, ""), std::nullopt);  // no home page yet

    publishAndWait(*model);
    EXPECT_EQ(model->status(), "Published. Publish each gallery once more to add an “All galleries” link to it.");
    EXPECT_EQ(model->settings().lastURL, homeAddressText);
    EXPECT_EQ(homeAddress(CloudflareTwin::token, CloudflareTwin::accountID), std::optional<std::string>(homeAddressText));

    const std::string page = platform::readFile(root.path() / "work" / "index.html");
    EXPECT_NE(page.find("<p class=\"count\">2 galleries</p>"), std::string::npos);
    EXPECT_NE(page.find("aria-label=\"Password protected\"><title>Password protected</title>"), std::string::npos);

    publishAndWait(*model);
    EXPECT_EQ(model->status(), std::string("Published at ") + homeAddressText);
}

TEST_F(HomeTwinTest, HomePageEditedElsewhereIsAdoptedOnTheNextLoad) {
    publishGallery("rome", "Rome", 3);
    publishGallery("paris", "Paris", 4);
    auto model = makeModel();
    loadAndWait(*model);
    publishAndWait(*model);

    // Another computer publishes the home page with its own title and order.
    HomeSettings elsewhere;
    elsewhere.title = "Edited elsewhere";
    elsewhere.language = "nl";
    elsewhere.galleries = {{"rome", true}, {"paris", false}};
    publishHome(elsewhere, orderGalleries(model->galleries(), elsewhere.galleries), CloudflareTwin::accountID,
                CloudflareTwin::token, "", root.path() / "elsewhere");

    loadAndWait(*model);
    EXPECT_EQ(model->settings().title, "Edited elsewhere");
    EXPECT_EQ(model->settings().language, "nl");
    EXPECT_EQ(names(model->galleries()), (Names{"rome", "paris"}));
    EXPECT_FALSE(model->isIncluded(model->galleries()[1]));
}

TEST_F(HomeTwinTest, RefreshAfterAGalleryPublishPutsItFirstAndCreatesNoHomePage) {
    publishGallery("rome", "Rome", 3);
    EXPECT_EQ(updateIfPresent(CloudflareTwin::token, "", "", root.path() / "update"), std::nullopt);
    EXPECT_FALSE(fs::exists(root.path() / "update"));

    auto model = makeModel();
    loadAndWait(*model);
    publishAndWait(*model);

    publishGallery("oslo", "Oslo", 5);
    EXPECT_EQ(updateIfPresent(CloudflareTwin::token, CloudflareTwin::accountID, "", root.path() / "update"),
              std::optional<std::string>(homeAddressText));
    const auto manifest = HomeManifest::decode(platform::readFile(root.path() / "update" / "lanternfold-home.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->galleries, (std::vector<GalleryRef>{{"oslo", true}, {"rome", true}}));
}

TEST_F(HomeTwinTest, HomePageWhoseManifestCannotBeFetchedIsNotLinkedTo) {
    publishGallery("rome", "Rome", 3);
    auto model = makeModel();
    loadAndWait(*model);
    publishAndWait(*model);
    twin->addFault({{"host", "lanternfold-home.lf-test.workers.dev"},
                    {"pathContains", "lanternfold-home.json"},
                    {"action", "status"},
                    {"status", 500},
                    {"times", 5}});
    EXPECT_EQ(homeAddress(CloudflareTwin::token, CloudflareTwin::accountID), std::nullopt);
}

}  // namespace
}  // namespace lf::home

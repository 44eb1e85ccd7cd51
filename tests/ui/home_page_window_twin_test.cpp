// The Home Page window over the real HomeModel, discovering and publishing against the Cloudflare
// double: the rows of the galleries found in the account, publishing with every gallery hidden, and
// a double press of "Build and Publish".
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "home/gallery_manifest.hpp"
#include "home/home_model.hpp"
#include "platform/files.hpp"
#include "platform/json.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/temporary_folder.hpp"
#include "ui/elided_label.hpp"
#include "ui/home_page_window.hpp"
#include "ui/remote_gallery_row.hpp"

namespace {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;
using lf::home::GalleryManifest;
using lf::home::HomeModel;
using lf::home::HomePreferences;
using lf::test::CloudflareTwin;
using lf::ui::HomePageWindow;

// Discovery and publishing go through the double and workerd, which take a few seconds on a busy machine.
constexpr int slowMs = 60000;

class HomePageWindowTwinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { twin = std::make_unique<CloudflareTwin>(); }
    static void TearDownTestSuite() { twin.reset(); }

    void SetUp() override {
        twin->resetAll();
        publishGallery("rome", "Rome", 12, true);
        publishGallery("paris", "Paris", 3, false);
        model = std::make_unique<HomeModel>(HomePreferences(root.path() / "Lanternfold.conf"), root.path() / "work",
                                            HomeModel::Operations::standard());
        window = std::make_unique<HomePageWindow>(*model);
        window->setTokenSource([] { return std::string(CloudflareTwin::token); });
        window->setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }

    // Publishes a small gallery site with its manifest, as a gallery build leaves it.
    void publishGallery(const std::string& name, const std::string& title, int count, bool locked) {
        const fs::path site = root.path() / ("site-" + name);
        fs::create_directories(site);
        lf::platform::writeFileAtomically(site / "index.html", "<!doctype html><title>" + title + "</title>\n");
        lf::platform::writeFileAtomically(site / "cover.jpg", "not really a picture " + name);
        GalleryManifest manifest;
        manifest.title = title;
        manifest.count = count;
        manifest.updated = "2026-12-05T09:54:35Z";
        if (locked) manifest.locked = true;
        lf::platform::writeFileAtomically(site / GalleryManifest::fileName, manifest.encoded());
        cf::CloudflarePublisher(CloudflareTwin::token, name).publish(site);
    }

    // The window loads the account's galleries when it first appears.
    void showAndLoad() {
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->loaded() && !model->isLoading(); }, slowMs));
        ASSERT_EQ(model->errorMessage(), std::nullopt);
    }

    // How many times the home page's worker script was uploaded to the double.
    static int homeScriptUploads() {
        int uploads = 0;
        for (const lf::json::Json& request : twin->requests()) {
            const std::string path = lf::json::getString(request, "path", "");
            const std::string suffix = "/workers/scripts/lanternfold-home";
            const bool isHomeScript =
                path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
            if (isHomeScript && lf::json::getString(request, "method", "") == "PUT") ++uploads;
        }
        return uploads;
    }

    static inline std::unique_ptr<CloudflareTwin> twin;
    lf::testing::TemporaryFolder root;
    std::unique_ptr<HomeModel> model;
    std::unique_ptr<HomePageWindow> window;
    std::vector<QUrl> opened;
};

TEST_F(HomePageWindowTwinTest, OpeningTheWindowListsThePublishedGalleriesWithThePadlockOnTheLockedOne) {
    showAndLoad();
    const auto& galleries = model->galleries();
    ASSERT_EQ(galleries.size(), 2u);
    const auto rows = window->rows();
    ASSERT_EQ(rows.size(), galleries.size());
    std::vector<std::string> lockedNames;
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(galleries[i].siteName);
        EXPECT_EQ(rows[i]->gallery(), galleries[i]);
        EXPECT_EQ(rows[i]->padlock()->isVisibleTo(rows[i]), galleries[i].locked);
        EXPECT_TRUE(rows[i]->checkBox()->isChecked());
        if (galleries[i].locked) lockedNames.push_back(galleries[i].siteName);
    }
    EXPECT_EQ(lockedNames, std::vector<std::string>{"rome"});
    EXPECT_FALSE(window->emptyText()->isVisibleTo(window.get()));
    EXPECT_FALSE(window->loadingRow()->isVisibleTo(window.get()));
    EXPECT_EQ(homeScriptUploads(), 0) << "opening the window publishes nothing";
}

TEST_F(HomePageWindowTwinTest, WithEveryGalleryUntickedPublishingSaysThereIsNothingToShowWhilePreviewStillWorks) {
    showAndLoad();
    for (size_t i = 0; i < window->rows().size(); ++i) window->rows()[i]->checkBox()->click();
    for (const auto& gallery : model->galleries()) EXPECT_FALSE(model->isIncluded(gallery)) << gallery.siteName;

    ASSERT_TRUE(window->previewButton()->isEnabled());
    QTest::mouseClick(window->previewButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty(); }, slowMs));
    ASSERT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(fs::exists(opened[0].toLocalFile().toStdString()));

    QTest::mouseClick(window->publishButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->alert() && window->alert()->isVisible(); }, slowMs));
    EXPECT_EQ(window->alert()->text(), "There are no published galleries to show yet. Publish a gallery first.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isWorking(); }, slowMs));
    EXPECT_EQ(homeScriptUploads(), 0);
    window->alert()->reject();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
}

TEST_F(HomePageWindowTwinTest, TwoQuickPressesOfBuildAndPublishPublishTheHomePageOnce) {
    showAndLoad();
    QSignalSpy finished(model.get(), &HomeModel::publishFinished);
    window->publishButton()->click();
    window->publishButton()->click();
    EXPECT_FALSE(window->publishButton()->isEnabled());
    ASSERT_TRUE(finished.wait(slowMs));
    ASSERT_EQ(model->errorMessage(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->publishButton()->isEnabled(); }, slowMs));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(homeScriptUploads(), 1);
    EXPECT_TRUE(window->addressShown());
    EXPECT_EQ(window->addressLink()->fullText(), "https://lanternfold-home.lf-test.workers.dev/");
}

}  // namespace

// The Home Page window over a HomeModel whose discovery and publishing are stand-ins: what the
// fields show and hide, the rows, the load when the window first appears, and the two buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "home/home_model.hpp"
#include "home/home_site.hpp"
#include "support/temporary_folder.hpp"
#include "ui/elided_label.hpp"
#include "ui/home_page_window.hpp"
#include "ui/remote_gallery_row.hpp"

namespace {

namespace fs = std::filesystem;
using lf::home::DiscoveryResult;
using lf::home::HomeModel;
using lf::home::HomePreferences;
using lf::home::RemoteGallery;
using lf::ui::HomePageWindow;

RemoteGallery gallery(const std::string& name, const std::string& title, bool locked) {
    RemoteGallery g;
    g.siteName = name;
    g.title = title;
    g.url = "https://" + name + ".lf-test.workers.dev/";
    g.coverURL = "";  // no fetch: the placeholder stays
    g.count = 3;
    g.locked = locked;
    return g;
}

// What the stand-in account holds and what was done to it.
struct Account {
    std::mutex mutex;
    DiscoveryResult found;
    std::atomic<int> discoveries = 0;
    std::atomic<int> publishes = 0;

    HomeModel::Operations operations() {
        HomeModel::Operations ops;
        ops.discover = [this](const std::string&, const std::string&, const lf::StopToken&) {
            ++discoveries;
            std::lock_guard lock(mutex);
            return found;
        };
        ops.publishHome = [this](const lf::home::HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                                 const std::string& accountID, const std::string&, const std::string&,
                                 const fs::path& folder, const lf::StopToken&, const lf::Progress&) {
            ++publishes;
            lf::home::buildSite(settings, galleries, folder);
            return std::string("https://lanternfold-home.lf-test.workers.dev/");
        };
        return ops;
    }
};

class HomePageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        account.found.accountID = "acc";
        account.found.subdomain = "lf-test";
        account.found.galleries = {gallery("rome", "Rome", false), gallery("paris", "Paris", true)};
        model = std::make_unique<HomeModel>(HomePreferences(folder / "Lanternfold.conf"), folder / "work",
                                            account.operations());
        window = std::make_unique<HomePageWindow>(*model);
        window->setTokenSource([] { return std::string("test-token"); });
        window->setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }

    void showAndLoad() {
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->loaded() && !model->isLoading(); }, 10000));
    }

    lf::testing::TemporaryFolder folder;
    Account account;
    std::unique_ptr<HomeModel> model;
    std::unique_ptr<HomePageWindow> window;
    std::vector<QUrl> opened;
};

TEST_F(HomePageWindowTest, TheWindowLoadsOnceWhenItFirstAppearsAndListsTheGalleriesInTheModelsOrder) {
    EXPECT_EQ(window->windowTitle(), "Home Page");
    EXPECT_GE(window->minimumWidth(), 520);
    EXPECT_GE(window->minimumHeight(), 560);
    showAndLoad();
    EXPECT_EQ(account.discoveries.load(), 1);

    const auto rows = window->rows();
    ASSERT_EQ(rows.size(), model->galleries().size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(model->galleries()[i].siteName);
        EXPECT_EQ(rows[i]->gallery(), model->galleries()[i]);
        EXPECT_EQ(rows[i]->padlock()->isVisibleTo(rows[i]), model->galleries()[i].locked);
        EXPECT_EQ(rows[i]->checkBox()->toolTip(), "Show this gallery on the home page");
        EXPECT_FALSE(rows[i]->accessibleName().isEmpty());
    }
    // Moving the first gallery down through its row's arrow swaps the rows.
    const std::string first = model->galleries()[0].siteName;
    QTest::mouseClick(rows[0]->downButton(), Qt::LeftButton);
    ASSERT_EQ(window->rows().size(), 2u);
    EXPECT_EQ(window->rows()[1]->gallery().siteName, first);

    // Showing the window again reuses the list.
    window->hide();
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(account.discoveries.load(), 1);
}

TEST_F(HomePageWindowTest, TypingADomainShowsTheHomePageAddressAndWhereItWillAppear) {
    showAndLoad();
    EXPECT_FALSE(window->homeNameShown());
    QTest::keyClicks(window->domainField(), "https://www.Example.com/");
    EXPECT_EQ(model->settings().domain, "https://www.Example.com/");
    EXPECT_TRUE(window->homeNameShown());
    EXPECT_EQ(window->homeNameField()->text(), "galleries");
    EXPECT_EQ(window->willAppearAt()->text(), "galleries.example.com");

    window->domainField()->selectAll();
    QTest::keyClick(window->domainField(), Qt::Key_Backspace);
    EXPECT_EQ(model->settings().domain, "");
    EXPECT_FALSE(window->homeNameShown());
}

TEST_F(HomePageWindowTest, TheAddressIsShownOnlyOnceAHomePageIsKnown) {
    showAndLoad();
    EXPECT_FALSE(window->addressShown());
    QTest::mouseClick(window->publishButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return account.publishes == 1 && !model->isWorking(); }, 10000));
    EXPECT_TRUE(window->addressShown());
    EXPECT_EQ(window->addressLink()->fullText(), "https://lanternfold-home.lf-test.workers.dev/");
}

TEST_F(HomePageWindowTest, WithEveryGalleryUntickedPreviewWorksAndPublishingExplainsWhy) {
    showAndLoad();
    for (size_t i = 0; i < window->rows().size(); ++i) window->rows()[i]->checkBox()->click();
    for (auto* row : window->rows()) {
        EXPECT_FALSE(row->checkBox()->isChecked());
        EXPECT_DOUBLE_EQ(row->opacity(), 0.55);
    }
    EXPECT_FALSE(model->isIncluded(model->galleries()[0]));

    ASSERT_TRUE(window->previewButton()->isEnabled());
    QTest::mouseClick(window->previewButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty(); }, 10000));
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(fs::exists(opened[0].toLocalFile().toStdString()));

    QTest::mouseClick(window->publishButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->alert() && window->alert()->isVisible(); }, 10000));
    EXPECT_EQ(window->alert()->text(), "There are no published galleries to show yet. Publish a gallery first.");
    EXPECT_EQ(window->alert()->windowTitle(), "Lanternfold");
    EXPECT_EQ(account.publishes.load(), 0);
    window->alert()->reject();
    EXPECT_FALSE(model->errorMessage().has_value());
}

TEST_F(HomePageWindowTest, TwoQuickPressesOfBuildAndPublishPublishOnce) {
    showAndLoad();
    QSignalSpy finished(model.get(), &HomeModel::publishFinished);
    window->publishButton()->click();
    window->publishButton()->click();
    EXPECT_FALSE(window->publishButton()->isEnabled());
    ASSERT_TRUE(finished.wait(10000));
    QApplication::processEvents();
    EXPECT_EQ(account.publishes.load(), 1);
    EXPECT_TRUE(window->publishButton()->isEnabled());
}

TEST_F(HomePageWindowTest, AnEmptyAccountSaysSo) {
    account.found.galleries.clear();
    showAndLoad();
    EXPECT_TRUE(window->emptyText()->isVisibleTo(window.get()));
    EXPECT_EQ(window->emptyText()->text(), "No published galleries yet. Publish a gallery and it will appear here.");
    EXPECT_FALSE(window->previewButton()->isEnabled());
    EXPECT_FALSE(window->loadingRow()->isVisibleTo(window.get()));
}

}  // namespace

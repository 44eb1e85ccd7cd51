// The main window on the real store: enabled states of the menus and the toolbar as the store
// changes, the title and item count, the welcome screen, the drop target, the alert, the status bar.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <QAccessible>
#include <QAction>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include "platform/long_work.hpp"
#include "support/window_fixture.hpp"
#include "ui/app_shell.hpp"
#include "ui/elided_label.hpp"
#include "ui/home_page_window.hpp"
#include "ui/main_toolbar.hpp"
#include "ui/menu_commands.hpp"
#include "ui/spinner.hpp"
#include "ui/status_bar.hpp"

namespace {

using lf::testing::waitFor;
namespace fs = std::filesystem;

// A build that runs until it is stopped, so a test can look at the window while it builds.
lf::app::BuildOperations buildUntilStopped() {
    auto operations = lf::app::BuildOperations::standard();
    operations.build = [](const lf::model::Project&, const std::optional<std::string>&, const lf::Progress& progress,
                          const lf::StopToken& stop) -> fs::path {
        progress(1, 4, "Building a1.jpg…");
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock lock(mutex);
        stopped.wait(lock, stop, [] { return false; });
        throw lf::Cancelled();
    };
    return operations;
}

struct Enabled {
    bool homePage, openFolder, viewGallery, publish, buildGallery;                       // toolbar
    bool build, publishMenu, ftp, stop, view, show, reload, moveUp, moveDown, homeMenu;  // menus
};

Enabled enabledStates(lf::ui::MainWindow& window) {
    const auto* bar = window.toolbar();
    const auto* menus = window.menus();
    return {bar->homePage->isEnabled(),       bar->openFolder->isEnabled(),        bar->viewGallery->isEnabled(),
            bar->publish->isEnabled(),        bar->buildGallery->isEnabled(),      menus->buildGallery->isEnabled(),
            menus->publishCloudflare->isEnabled(), menus->uploadFTP->isEnabled(),  menus->stopBuilding->isEnabled(),
            menus->viewInBrowser->isEnabled(), menus->showInFileManager->isEnabled(), menus->reloadFolder->isEnabled(),
            menus->moveUp->isEnabled(),       menus->moveDown->isEnabled(),        menus->homePage->isEnabled()};
}

void expectEnabled(const Enabled& actual, const Enabled& expected, const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(actual.homePage, expected.homePage) << "toolbar Home Page";
    EXPECT_EQ(actual.openFolder, expected.openFolder) << "toolbar Open Folder";
    EXPECT_EQ(actual.viewGallery, expected.viewGallery) << "toolbar View Gallery";
    EXPECT_EQ(actual.publish, expected.publish) << "toolbar Publish";
    EXPECT_EQ(actual.buildGallery, expected.buildGallery) << "toolbar Build Gallery";
    EXPECT_EQ(actual.build, expected.build) << "Build Gallery";
    EXPECT_EQ(actual.publishMenu, expected.publishMenu) << "Build and Publish to Cloudflare";
    EXPECT_EQ(actual.ftp, expected.ftp) << "Build and Upload by FTP";
    EXPECT_EQ(actual.stop, expected.stop) << "Stop Building";
    EXPECT_EQ(actual.view, expected.view) << "View Gallery in Browser";
    EXPECT_EQ(actual.show, expected.show) << "Show Gallery in File Manager";
    EXPECT_EQ(actual.reload, expected.reload) << "Reload Folder";
    EXPECT_EQ(actual.moveUp, expected.moveUp) << "Move Item Up";
    EXPECT_EQ(actual.moveDown, expected.moveDown) << "Move Item Down";
    EXPECT_EQ(actual.homeMenu, expected.homeMenu) << "Home Page";
}

class MainWindowTest : public lf::testing::WindowTest {};

TEST_F(MainWindowTest, CommandsFollowTheStore) {
    //                       toolbar: home open  view   publ   build | menus: build publ  ftp    stop   view   show   reload up     down   home
    expectEnabled(enabledStates(*window_), {true, true, false, false, false, false, false, false, false, false, false, false, false, false, true},
                  "no folder open");

    openAndWait(makeFolder("Rome", 2));
    expectEnabled(enabledStates(*window_), {true, true, true, true, true, true, true, true, false, true, true, true, true, true, true},
                  "folder open, first item selected");

    store_->setSelection(std::nullopt);
    expectEnabled(enabledStates(*window_), {true, true, true, true, true, true, true, true, false, true, true, true, false, false, true},
                  "no selection");

    store_->setBuildOperations(buildUntilStopped());
    store_->build(lf::app::Destination::none);
    ASSERT_TRUE(waitFor([&] { return store_->isBuilding(); }));
    expectEnabled(enabledStates(*window_), {true, true, true, false, false, false, false, false, true, true, true, false, false, false, true},
                  "while building");

    window_->menus()->stopBuilding->trigger();
    ASSERT_TRUE(waitFor([&] { return !store_->isBuilding(); }));
    EXPECT_EQ(store_->status().toStdString(), "Stopped.");
    EXPECT_TRUE(window_->menus()->buildGallery->isEnabled());
}

TEST_F(MainWindowTest, TitleItemCountAndWelcomeScreen) {
    EXPECT_EQ(window_->windowTitle().toStdString(), "Lanternfold");
    EXPECT_TRUE(window_->showsWelcome());
    EXPECT_TRUE(window_->toolbar()->itemCount->text().isEmpty());

    openAndWait(makeFolder("Rome", 3));
    EXPECT_EQ(window_->windowTitle().toStdString(), "Rome");
    EXPECT_EQ(window_->toolbar()->title->fullText().toStdString(), "Rome");
    EXPECT_EQ(window_->toolbar()->itemCount->text().toStdString(), "3 items");
    EXPECT_FALSE(window_->showsWelcome());

    store_->setProject(std::nullopt);
    EXPECT_TRUE(window_->showsWelcome());
    EXPECT_EQ(window_->windowTitle().toStdString(), "Lanternfold");
}

TEST_F(MainWindowTest, PanesKeepTheirWidths) {
    openAndWait(makeFolder("Rome", 1));
    QSplitter* panes = window_->panes();
    ASSERT_EQ(panes->count(), 3);
    EXPECT_EQ(panes->widget(0)->minimumWidth(), 240);
    EXPECT_EQ(panes->widget(0)->maximumWidth(), 440);
    EXPECT_EQ(panes->widget(1)->minimumWidth(), 340);
    EXPECT_EQ(panes->widget(2)->minimumWidth(), 320);
    EXPECT_EQ(panes->widget(2)->maximumWidth(), 460);
    // At the default size the outer panes start at their ideal widths.
    const QList<int> sizes = panes->sizes();
    EXPECT_NEAR(sizes[0], 290, 2);
    EXPECT_NEAR(sizes[2], 350, 2);
    EXPECT_GE(window_->centralWidget()->minimumWidth(), 1000);
    EXPECT_GE(window_->centralWidget()->minimumHeight(), 600);
}

// Sends a drag with the given data over the window and drops it; true when the drop was accepted.
bool dropOnWindow(QWidget* window, QMimeData* data) {
    const QPoint where = window->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(where), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

TEST_F(MainWindowTest, DroppingAFileOpensItsFolder) {
    const fs::path folder = makeFolder("Paris", 2);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString((folder / "a2.jpg").string()))});
    EXPECT_TRUE(dropOnWindow(window_.get(), &data));
    ASSERT_TRUE(waitFor([&] { return store_->project() && !store_->isOpening(); }));
    EXPECT_EQ(store_->project()->folder.filename().string(), "Paris");
}

TEST_F(MainWindowTest, DropWithoutALocalFileIsRefused) {
    QMimeData web;
    web.setUrls({QUrl("https://example.com/photo.jpg")});
    EXPECT_FALSE(dropOnWindow(window_.get(), &web));
    QMimeData text;
    text.setText(QStringLiteral("/tmp"));
    EXPECT_FALSE(dropOnWindow(window_.get(), &text));
    QCoreApplication::processEvents();
    EXPECT_FALSE(store_->isOpening());
    EXPECT_FALSE(store_->project().has_value());
}

TEST_F(MainWindowTest, AlertOKClearsTheMessageSoItCanComeAgain) {
    for (int round = 0; round < 2; ++round) {
        store_->setAlertMessage(QStringLiteral("Build the gallery first."));
        ASSERT_TRUE(waitFor([&] { return window_->alert() && window_->alert()->isVisible(); }));
        QMessageBox* alert = window_->alert();
        EXPECT_EQ(alert->windowTitle().toStdString(), "Lanternfold");
        EXPECT_EQ(alert->text().toStdString(), "Build the gallery first.");
        ASSERT_EQ(alert->buttons().size(), 1);
        EXPECT_EQ(alert->buttons().front()->text().toStdString(), "OK");
        QTest::mouseClick(alert->buttons().front(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return !store_->alertMessage().has_value(); }));
        ASSERT_TRUE(waitFor([&] { return !window_->alert(); }));
    }
}

TEST_F(MainWindowTest, LongStatusStaysOnOneLine) {
    // The status after opening names the folder; a very long folder name makes a very long status.
    openAndWait(makeFolder(std::string(200, 'x') + " end", 1));
    lf::ui::ElidedLabel* status = window_->statusStrip()->statusText();
    ASSERT_GT(status->fullText().size(), 200);
    // A long folder name neither widens the window nor pushes the status off its line.
    EXPECT_EQ(window_->width(), 1200);
    ASSERT_TRUE(waitFor([&] { return status->text() != status->fullText(); }))
        << status->width() << " px for " << status->text().toStdString() << "; window " << window_->width();
    EXPECT_TRUE(status->text().contains(QChar(0x2026)));
    EXPECT_TRUE(status->text().endsWith(QStringLiteral("end”")));
    EXPECT_LE(status->height(), status->fontMetrics().height() * 2 - 1);
    EXPECT_LE(window_->statusStrip()->sizeHint().height(), 40);
}

TEST_F(MainWindowTest, StatusBarWhileBuilding) {
    openAndWait(makeFolder("Rome", 1));
    lf::ui::StatusBar* bar = window_->statusStrip();
    EXPECT_FALSE(bar->progressBar()->isVisible());
    EXPECT_FALSE(bar->stopButton()->isVisible());
    store_->setBuildOperations(buildUntilStopped());
    store_->build(lf::app::Destination::none);
    ASSERT_TRUE(waitFor([&] { return store_->isBuilding() && bar->progressBar()->value() > 0; }));
    EXPECT_TRUE(bar->progressBar()->isVisible());
    EXPECT_EQ(bar->progressBar()->width(), 180);
    EXPECT_TRUE(bar->stopButton()->isVisible());
    EXPECT_FALSE(bar->spinner()->isVisible());
    EXPECT_FALSE(bar->readingDetails()->isVisible());
    QTest::mouseClick(bar->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !store_->isBuilding(); }));
    EXPECT_FALSE(bar->progressBar()->isVisible());
    EXPECT_EQ(bar->statusText()->fullText().toStdString(), "Stopped.");
}

TEST(AppShell, HomePageOpensOnceAndComesToTheFront) {
    lf::ui::AppShell shell;
    EXPECT_EQ(shell.homePageWindow(), nullptr);
    shell.mainWindow().menus()->homePage->trigger();
    lf::ui::HomePageWindow* first = shell.homePageWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle().toStdString(), "Home Page");
    first->close();
    shell.mainWindow().toolbar()->homePage->trigger();
    EXPECT_EQ(shell.homePageWindow(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST(AppShell, MainWindowSizes) {
    lf::ui::AppShell shell;
    EXPECT_EQ(shell.mainWindow().size(), QSize(1200, 760));
    EXPECT_EQ(shell.mainWindow().windowTitle().toStdString(), "Lanternfold");
}

}  // namespace

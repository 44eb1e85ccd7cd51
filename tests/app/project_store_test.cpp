// ProjectStore on real folders: opening, the status line, selection, reload, ordering, captions,
// the output folder, autosave, the preferences and the photo-detail reader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>

#include "app/keychain.hpp"
#include "app/preferences.hpp"
#include "app/project_store.hpp"
#include "app/support/store_fixtures.hpp"
#include "cli/support/publish_support.hpp"
#include "model/support/fixtures.hpp"
#include "platform/json.hpp"

namespace {

namespace fs = std::filesystem;
using lf::app::ProjectStore;
using lf::test::FakeChooser;
using lf::test::FakeWorkspace;
using lf::test::makeFolder;

std::vector<std::string> namesOf(const ProjectStore& store) {
    std::vector<std::string> names;
    for (const lf::model::Item& item : store.project()->items) names.push_back(item.fileName());
    return names;
}

// The inode of a file, which an atomic write (a new file renamed into place) changes.
ino_t inodeOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

class Store : public testing::Test {
protected:
    // The store reads and writes the keyring; this test program gets one of its own.
    static void SetUpTestSuite() { lf::test::usePrivateKeyring(); }

    void SetUp() override {
        // Every test starts with empty preferences, also when the tests share one program run.
        lf::app::Preferences().settings().clear();
        store = std::make_unique<ProjectStore>();
        store->setFolderChooser(chooser);
        store->setWorkspace(workspace);
    }

    // Waits until the folder is open and its photo details are read.
    void waitUntilOpen(const fs::path& folder) {
        LF_TRY_VERIFY(!store->isOpening() && store->project() && store->project()->folder == folder &&
                      !store->isReadingDetails());
    }

    void openAndWait(const fs::path& folder) {
        store->open(folder);
        waitUntilOpen(folder);
    }

    lf::testing::TemporaryFolder temp;
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::unique_ptr<ProjectStore> store;
};

TEST_F(Store, OpeningGivesTheCountSentenceSelectsTheFirstItemAndRemembersTheFolder) {
    struct Case {
        int pictures;
        QString status;
        std::optional<std::string> selection;
    };
    const std::vector<Case> cases = {
        {3, "3 items in “Rome”", "p1.jpg"},
        // No singular form: the word is "items" for any count.
        {1, "1 items in “Rome”", "p1.jpg"},
        {0, "No pictures, movies or sounds in “Rome”.", std::nullopt},
    };
    int round = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.pictures);
        const fs::path folder = makeFolder(temp / std::to_string(round++), "Rome", test.pictures);
        store->open(folder);
        EXPECT_TRUE(store->isOpening());
        EXPECT_EQ(store->status(), "Opening “Rome”…");
        waitUntilOpen(folder);
        EXPECT_EQ(store->status(), test.status);
        EXPECT_EQ(store->selection(), test.selection);
        EXPECT_EQ(store->project()->items.size(), static_cast<size_t>(test.pictures));
        EXPECT_EQ(lf::app::Preferences().lastFolder(), folder);
        EXPECT_EQ(store->recentFolders().value(0), QString::fromStdString(folder.string()));
        EXPECT_FALSE(store->alertMessage());
    }
    // Most recent first, each folder once.
    EXPECT_EQ(store->recentFolders().size(), 3);
}

TEST_F(Store, RecentFoldersKeepTenAndDropFoldersThatAreGone) {
    std::vector<fs::path> folders;
    for (int index = 0; index < 12; ++index) folders.push_back(makeFolder(temp / std::to_string(index), "f", 0));
    lf::app::Preferences preferences;
    for (const fs::path& folder : folders) preferences.rememberOpenedFolder(folder);
    preferences.rememberOpenedFolder(folders[5]);
    QStringList recent = store->recentFolders();
    ASSERT_EQ(recent.size(), 10);
    EXPECT_EQ(recent[0], QString::fromStdString(folders[5].string()));
    EXPECT_EQ(recent[1], QString::fromStdString(folders[11].string()));
    fs::remove_all(folders[11]);
    recent = store->recentFolders();
    EXPECT_FALSE(recent.contains(QString::fromStdString(folders[11].string())));
    EXPECT_EQ(recent.size(), 9);
}

TEST_F(Store, OpeningIsRefusedWhileAnotherFolderIsStillOpening) {
    const fs::path first = makeFolder(temp.path(), "Rome", 2);
    const fs::path second = makeFolder(temp.path(), "Paris", 1);
    store->open(first);
    store->open(second);
    EXPECT_EQ(store->status(), "Opening “Rome”…");
    waitUntilOpen(first);
    EXPECT_EQ(store->status(), "2 items in “Rome”");
}

TEST_F(Store, ReloadAfterTheSelectedFileWasDeletedSelectsTheFirstRemainingItem) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 3);
    openAndWait(folder);
    store->setSelection("p1.jpg");
    fs::remove(folder / "p1.jpg");
    lf::testing::makePicture(folder / "p9.jpg");
    store->reload();
    LF_TRY_VERIFY(store->status() == "3 items");
    EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"p2.jpg", "p3.jpg", "p9.jpg"}));
    EXPECT_EQ(store->selection(), "p2.jpg");
    EXPECT_EQ(store->selectedItem()->fileName(), "p2.jpg");
}

TEST_F(Store, MovesChangeNothingAtTheEndsAndOtherwiseMakeTheOrderManualWithEveryName) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 3);
    openAndWait(folder);
    const auto unchanged = *store->project();

    store->setSelection("p1.jpg");
    store->moveSelection(-1);
    store->setSelection("p3.jpg");
    store->moveSelection(+1);
    EXPECT_EQ(*store->project(), unchanged);

    struct Case {
        std::string selected;
        int delta;
        std::vector<std::string> order;
    };
    const std::vector<Case> moves = {
        {"p1.jpg", +1, {"p2.jpg", "p1.jpg", "p3.jpg"}},
        {"p3.jpg", -1, {"p2.jpg", "p3.jpg", "p1.jpg"}},
        {"p1.jpg", -1, {"p2.jpg", "p1.jpg", "p3.jpg"}},
    };
    for (const Case& move : moves) {
        SCOPED_TRACE(move.selected + " by " + std::to_string(move.delta));
        store->setSelection(move.selected);
        store->moveSelection(move.delta);
        EXPECT_EQ(namesOf(*store), move.order);
        EXPECT_EQ(store->project()->order, move.order);
        EXPECT_EQ(store->settings().sort, "manual");
        EXPECT_EQ(store->selection(), move.selected) << "the moved item stays selected";
    }

    // Dragging several items: positions count in the list before the move.
    store->moveItems({0, 2}, 2);
    EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"p1.jpg", "p2.jpg", "p3.jpg"}));
    store->moveItems({0}, 3);
    EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"p2.jpg", "p3.jpg", "p1.jpg"}));
    EXPECT_EQ(store->project()->order, namesOf(*store));
}

TEST_F(Store, SwitchingFromDateToManualKeepsTheOrderOnScreen) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 3, R"({"sort": "date", "reverse": true})");
    // Modification dates against the name order: p2 oldest, then p3, then p1.
    lf::testing::setModified(folder / "p2.jpg", lf::testing::utc(2020, 1, 1, 0, 0, 0));
    lf::testing::setModified(folder / "p3.jpg", lf::testing::utc(2021, 1, 1, 0, 0, 0));
    lf::testing::setModified(folder / "p1.jpg", lf::testing::utc(2022, 1, 1, 0, 0, 0));
    openAndWait(folder);
    const std::vector<std::string> shown = {"p1.jpg", "p3.jpg", "p2.jpg"};
    ASSERT_EQ(namesOf(*store), shown);

    store->setSort("manual");
    EXPECT_EQ(namesOf(*store), shown);
    EXPECT_EQ(store->project()->order, shown);

    // Reverse does not apply to a hand-made order; it does to the name order.
    store->setSort("name");
    EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"p3.jpg", "p2.jpg", "p1.jpg"}));
    store->setReverse(false);
    EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"p1.jpg", "p2.jpg", "p3.jpg"}));
}

TEST_F(Store, ChoosingTheOutputFolderRefusesThePicturesFolder) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    openAndWait(folder);

    chooser->answer = folder / ".";
    store->chooseOutputFolder();
    EXPECT_EQ(store->alertMessage(), "Please choose a different folder from your pictures folder.");
    EXPECT_EQ(store->project()->output, "");
    ASSERT_EQ(chooser->requests.size(), 1u);
    EXPECT_EQ(chooser->requests[0].message, "Where should the gallery be saved?");
    EXPECT_EQ(chooser->requests[0].button, "Choose");
    EXPECT_TRUE(chooser->requests[0].canCreateFolders);
    EXPECT_EQ(chooser->requests[0].startFolder, temp.path());

    store->dismissAlert();
    chooser->answer = temp / "Elsewhere";
    store->chooseOutputFolder();
    EXPECT_FALSE(store->alertMessage());
    EXPECT_EQ(store->outputFolder(), temp / "Elsewhere");

    // Cancelling keeps the choice.
    chooser->answer.reset();
    store->chooseOutputFolder();
    EXPECT_EQ(store->outputFolder(), temp / "Elsewhere");
}

TEST_F(Store, OpenFolderAsksForAFolderOfPicturesAndOpensTheChoice) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    store->openFolder();  // cancelled
    EXPECT_FALSE(store->isOpening());
    chooser->answer = folder;
    store->openFolder();
    waitUntilOpen(folder);
    ASSERT_EQ(chooser->requests.size(), 2u);
    EXPECT_EQ(chooser->requests[1].message, "Choose a folder of pictures, movies and sounds");
    EXPECT_EQ(chooser->requests[1].button, "Open");
}

TEST_F(Store, ADroppedFileOpensItsFolderAndAMissingOneNothing) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 2);
    store->openDropped(temp / "missing");
    EXPECT_FALSE(store->isOpening());
    store->openDropped(folder / "p2.jpg");
    waitUntilOpen(folder);
}

TEST_F(Store, ClearingACaptionHidesThePicturesOwnCaption) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    lf::testing::exiftool({{folder / "p1.jpg", {"-IPTC:Caption-Abstract=Harbour at dawn"}}});
    openAndWait(folder);
    const lf::model::Item item = store->project()->items.at(0);
    EXPECT_EQ(store->caption(item), "Harbour at dawn");
    store->setCaption("Boats", item);
    EXPECT_EQ(store->caption(item), "Boats");
    store->setCaption("", item);
    EXPECT_EQ(store->caption(item), "");
    EXPECT_EQ(store->project()->captions.at("p1.jpg"), "");
}

TEST_F(Store, SeveralQuickChangesWriteTheProjectFileOnceAboutASecondAfterTheLast) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 2);
    const fs::path file = folder / "lanternfold.json";
    QElapsedTimer sinceOpened;
    sinceOpened.start();
    openAndWait(folder);
    // A folder without a project file gets one about a second after opening.
    LF_TRY_VERIFY(fs::exists(file));
    EXPECT_GE(sinceOpened.elapsed(), 900);
    const ino_t written = inodeOf(file);

    // Three changes 600 ms apart: more than a second passes between the first and the last, and
    // still nothing is written while changes keep coming. (The pauses are the user's typing, not a
    // wait for a result.)
    lf::model::GallerySettings settings = store->settings();
    settings.title = "Roma";
    store->setSettings(settings);
    QTest::qWait(600);
    store->setCaption("Boats", store->project()->items.at(0));
    QTest::qWait(600);
    settings.quality = 70;
    store->setSettings(settings);
    QElapsedTimer sinceLast;
    sinceLast.start();
    EXPECT_EQ(inodeOf(file), written) << "saved before the changes stopped";

    LF_TRY_VERIFY(inodeOf(file) != written);
    EXPECT_GE(sinceLast.elapsed(), 900);
    const auto saved = lf::json::parse(lf::testing::readWhole(file)).value();
    EXPECT_EQ(saved["settings"]["title"], "Roma");
    EXPECT_EQ(saved["settings"]["quality"], 70);
    EXPECT_EQ(saved["captions"]["p1.jpg"], "Boats");
}

TEST_F(Store, ADeletedLastFolderIsIgnoredWithoutAnAlert) {
    const fs::path folder = makeFolder(temp.path(), "Gone", 1);
    lf::app::Preferences().rememberOpenedFolder(folder);
    fs::remove_all(folder);
    store->restoreLastFolder();
    EXPECT_FALSE(store->isOpening());
    EXPECT_FALSE(store->project());
    EXPECT_FALSE(store->alertMessage());
    EXPECT_EQ(store->status(), "");

    const fs::path kept = makeFolder(temp.path(), "Kept", 1);
    lf::app::Preferences().rememberOpenedFolder(kept);
    store->restoreLastFolder();
    waitUntilOpen(kept);
}

TEST_F(Store, DetailsOfAReplacedFolderNeverReachTheNewProject) {
    // Both folders hold files of the same names; only the first one's pictures have captions.
    const int count = 45;
    const fs::path first = makeFolder(temp.path(), "Rome", count);
    const fs::path second = makeFolder(temp.path(), "Paris", count);
    std::vector<std::pair<fs::path, std::vector<std::string>>> tags;
    for (int index = 1; index <= count; ++index) {
        tags.push_back({first / lf::test::pictureName(index), {"-IPTC:Caption-Abstract=From Rome"}});
    }
    lf::testing::exiftool(tags);

    store->open(first);
    LF_TRY_VERIFY(!store->isOpening());
    ASSERT_TRUE(store->isReadingDetails());
    store->open(second);
    LF_TRY_VERIFY(!store->isOpening() && store->project()->folder == second && !store->isReadingDetails());
    for (const lf::model::Item& item : store->project()->items) {
        EXPECT_TRUE(item.metadataLoaded) << item.fileName();
        EXPECT_EQ(item.exifCaption, "") << item.fileName();
    }
}

TEST_F(Store, OpeningAFolderWithNothingToReadWhileDetailsAreReadEndsTheReading) {
    // The reader of the first folder is cancelled by the open, and the new folder has no picture
    // whose details are missing: the busy flag must still go off.
    const fs::path first = makeFolder(temp.path(), "Rome", 45);
    const fs::path empty = makeFolder(temp.path(), "Empty", 0);
    store->open(first);
    LF_TRY_VERIFY(!store->isOpening());
    ASSERT_TRUE(store->isReadingDetails());
    store->open(empty);
    waitUntilOpen(empty);
    EXPECT_FALSE(store->isReadingDetails());
}

TEST_F(Store, APlaceholderFileOfCloudStorageIsNotRead) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    lf::testing::exiftool({{folder / "p1.jpg", {"-IPTC:Caption-Abstract=Here"}}});
    // A sparse file: a size, but no block on the disk, as a cloud client leaves it until opened.
    { std::ofstream(folder / "cloud.jpg"); }
    fs::resize_file(folder / "cloud.jpg", 50000);
    openAndWait(folder);
    ASSERT_EQ(namesOf(*store), (std::vector<std::string>{"cloud.jpg", "p1.jpg"}));
    EXPECT_FALSE(store->project()->items[0].metadataLoaded);
    EXPECT_TRUE(store->project()->items[1].metadataLoaded);
    EXPECT_EQ(store->project()->items[1].exifCaption, "Here");
}

TEST_F(Store, PasswordsAreLoadedAfterOpeningAndTheGalleryPasswordIsStoredWhenItChanges) {
    const lf::app::Keychain keychain;
    keychain.storeGalleryPassword("open sesame", "rome-walks");
    keychain.storeFTPPassword("ftp secret", " ftp.example.com", "anna");
    const fs::path folder = makeFolder(temp.path(), "Rome", 1,
                                       R"({"title": "Rome Walks", "ftp_host": " ftp.example.com", "ftp_user": "anna"})");
    QSignalSpy galleryChanges(store.get(), &ProjectStore::galleryPasswordChanged);
    openAndWait(folder);
    EXPECT_EQ(store->effectiveSiteName(), "rome-walks");
    EXPECT_EQ(store->galleryPassword(), "open sesame");
    EXPECT_EQ(store->password(), "ftp secret");
    EXPECT_EQ(galleryChanges.count(), 1);

    store->setGalleryPassword("new words");
    EXPECT_EQ(keychain.galleryPassword("rome-walks"), "new words");

    // A folder without FTP settings clears the FTP password.
    const fs::path other = makeFolder(temp.path(), "Paris", 1);
    openAndWait(other);
    EXPECT_EQ(store->password(), "");
    EXPECT_EQ(store->galleryPassword(), "");
}

TEST_F(Store, ShowInFinderAndOpenInBrowserAskForABuildFirst) {
    const fs::path folder = makeFolder(temp.path(), "Rome", 1);
    openAndWait(folder);
    store->showInFinder();
    EXPECT_EQ(store->alertMessage(), "Build the gallery first.");
    store->dismissAlert();
    store->openInBrowser();
    EXPECT_EQ(store->alertMessage(), "Build the gallery first.");
    store->dismissAlert();

    fs::create_directories(store->outputFolder());
    store->showInFinder();
    EXPECT_FALSE(store->alertMessage());
    EXPECT_EQ(workspace->revealed, std::vector<fs::path>{temp / "Rome gallery"});
    lf::testing::writeWhole(store->outputFolder() / "index.html", "<!doctype html>");
    store->openInBrowser();
    ASSERT_EQ(workspace->opened.size(), 1u);
    EXPECT_EQ(workspace->opened[0], QUrl::fromLocalFile(QString::fromStdString((temp / "Rome gallery" / "index.html").string())));
}

TEST_F(Store, WithoutAProjectTheDerivedValuesAreEmptyAndOperationsDoNothing) {
    EXPECT_FALSE(store->selectedItem());
    EXPECT_EQ(store->settings(), lf::model::GallerySettings());
    EXPECT_EQ(store->outputFolder(), fs::path());
    EXPECT_EQ(store->effectiveSiteName(), "");
    store->setSettings(lf::model::GallerySettings());
    store->reload();
    store->moveSelection(1);
    store->setSort("manual");
    store->chooseOutputFolder();
    store->showInFinder();
    store->openInBrowser();
    store->saveNow(lf::app::SaveErrors::shown);
    store->build(lf::app::Destination::none);
    EXPECT_FALSE(store->project());
    EXPECT_FALSE(store->alertMessage());
    EXPECT_FALSE(store->isBuilding());
    EXPECT_TRUE(chooser->requests.empty());
}

}  // namespace

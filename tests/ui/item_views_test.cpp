// The item list and the preview against the real ProjectStore on folders the tests make: rows,
// thumbnails, selection, reordering by drag, the preview of pictures, movies and sounds, the
// caption editor and the empty and failed previews.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QMediaPlayer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/project_store.hpp"
#include "app/thumb_loader.hpp"
#include "support/shell_quoted.hpp"
#include "support/temporary_folder.hpp"
#include "ui/elided_label.hpp"
#include "ui/item_list.hpp"
#include "ui/item_list_model.hpp"
#include "ui/large_image.hpp"
#include "ui/media_player.hpp"
#include "ui/preview_pane.hpp"

#define LF_WAIT_FOR(condition) \
    ASSERT_TRUE(QTest::qWaitFor([&]() { return static_cast<bool>(condition); }, 30000)) << "still false: " #condition

namespace {

namespace fs = std::filesystem;
using lf::app::ProjectStore;
using lf::app::ThumbLoader;
using lf::model::Item;
using lf::model::MediaKind;
using lf::ui::ItemListModel;

void writePicture(const fs::path& file, QColor colour, int width = 64, int height = 48) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
}

void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

void writeMovie(const fs::path& file) {
    run("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:duration=2:rate=10 -pix_fmt yuv420p " +
        lf::testing::shellQuoted(file.string()));
}

void writeSound(const fs::path& file) {
    run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 " + lf::testing::shellQuoted(file.string()));
}

class ItemViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        loader = std::make_unique<ThumbLoader>([this](const Item& item, int pixels) {
            ++decodes;
            if (item.kind == MediaKind::audio) ++soundDecodes;
            return ThumbLoader::decodeItem(item, pixels);
        });
    }

    // A folder with a picture, a movie, a sound and a file that cannot be decoded.
    void makeMixedFolder() {
        writePicture(folder / "a-picture.jpg", Qt::red);
        writeMovie(folder / "b-movie.mp4");
        writeSound(folder / "c-sound.m4a");
        std::ofstream(folder / "d-broken.jpg") << "not a picture";
    }

    void open(const fs::path& path) {
        store.open(path);
        LF_WAIT_FOR(!store.isOpening() && store.project().has_value());
    }

    QImage thumb(lf::ui::ItemList& list, int row) {
        return list.model()->data(list.model()->index(row), ItemListModel::ThumbRole).value<QImage>();
    }

    lf::testing::TemporaryFolder folder;
    ProjectStore store;
    std::atomic<int> decodes = 0;
    std::atomic<int> soundDecodes = 0;
    std::unique_ptr<ThumbLoader> loader;
};

TEST_F(ItemViewsTest, RowsShowTheKindWordOrTheCaptionsFirstLineAndOnlyPicturesAndMoviesAreDecoded) {
    makeMixedFolder();
    open(folder.path());
    lf::ui::ItemList list(store, *loader);
    list.resize(300, 400);
    list.show();
    ASSERT_EQ(list.model()->rowCount(), 4);

    const auto subtitle = [&](int row) {
        return list.model()->data(list.model()->index(row), ItemListModel::SubtitleRole).toString();
    };
    EXPECT_EQ(subtitle(0), "Picture");
    EXPECT_EQ(subtitle(1), "Movie");
    EXPECT_EQ(subtitle(2), "Sound");
    store.setCaption("\n\nBy the river\nsecond line", store.project()->items[2]);
    EXPECT_EQ(subtitle(2), "By the river");
    EXPECT_EQ(list.model()->data(list.model()->index(0), Qt::DisplayRole).toString(), "a-picture.jpg");

    // The rows on screen ask for their thumbnails; the picture and the movie arrive, the sound and
    // the broken file keep their placeholders, and the sound never reaches the decoder.
    LF_WAIT_FOR(!thumb(list, 0).isNull() && !thumb(list, 1).isNull());
    LF_WAIT_FOR(decodes == 3);
    EXPECT_TRUE(thumb(list, 2).isNull());
    EXPECT_TRUE(thumb(list, 3).isNull());
    EXPECT_EQ(soundDecodes.load(), 0);
    EXPECT_EQ(thumb(list, 0).width(), 64);  // within 80 pixels, never enlarged
    // A failed file is not asked again while it is unchanged.
    const int asked = list.model()->thumbnailRequests();
    list.view()->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(list.model()->thumbnailRequests(), asked);
}

TEST_F(ItemViewsTest, APictureReplacedOnDiskShowsItsNewContentAfterAReload) {
    const fs::path file = folder / "same.jpg";
    writePicture(file, Qt::red);
    open(folder.path());
    lf::ui::ItemList list(store, *loader);
    list.show();
    LF_WAIT_FOR(!thumb(list, 0).isNull());
    EXPECT_GT(thumb(list, 0).pixelColor(32, 24).red(), 200);

    writePicture(file, Qt::blue);
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(5));
    QTest::mouseClick(list.reloadButton(), Qt::LeftButton);
    LF_WAIT_FOR(!thumb(list, 0).isNull() && thumb(list, 0).pixelColor(32, 24).blue() > 200);
}

TEST_F(ItemViewsTest, TheSelectionIsBoundToTheStoreBothWays) {
    for (int i = 1; i <= 3; ++i) writePicture(folder / ("p" + std::to_string(i) + ".jpg"), Qt::green);
    open(folder.path());
    lf::ui::ItemList list(store, *loader);
    list.show();
    EXPECT_EQ(list.view()->currentIndex().row(), 0);  // the store selected the first item

    store.setSelection("p3.jpg");
    EXPECT_EQ(list.view()->currentIndex().row(), 2);
    list.view()->setCurrentIndex(list.model()->index(1));
    EXPECT_EQ(store.selection(), std::optional<std::string>("p2.jpg"));

    // The bar's arrows move the selected item, and the selection follows it.
    QTest::mouseClick(list.moveUpButton(), Qt::LeftButton);
    EXPECT_EQ(store.project()->items[0].fileName(), "p2.jpg");
    EXPECT_EQ(list.view()->currentIndex().row(), 0);
    EXPECT_EQ(list.moveUpButton()->toolTip(), "Move up (Alt+Ctrl+Up)");
    EXPECT_EQ(list.reloadButton()->toolTip(), "Look for new or removed files (Ctrl+R)");
}

TEST_F(ItemViewsTest, DroppingTwoDraggedRowsMovesThemThroughTheStore) {
    for (int i = 1; i <= 5; ++i) writePicture(folder / ("p" + std::to_string(i) + ".jpg"), Qt::green);
    open(folder.path());
    lf::ui::ItemList list(store, *loader);
    list.show();
    ItemListModel* model = list.model();

    // Rows 0 and 2 (p1, p3) dragged and dropped before row 4 (p5).
    std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(0), model->index(2)}));
    EXPECT_FALSE(model->dropMimeData(dragged.get(), Qt::MoveAction, 4, 0, {}));  // the view removes nothing
    std::vector<std::string> order;
    for (const Item& item : store.project()->items) order.push_back(item.fileName());
    EXPECT_EQ(order, (std::vector<std::string>{"p2.jpg", "p4.jpg", "p1.jpg", "p3.jpg", "p5.jpg"}));
    EXPECT_EQ(store.settings().sort, "manual");
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(model->data(model->index(row), Qt::DisplayRole).toString().toStdString(), order[size_t(row)]);
    }
}

TEST_F(ItemViewsTest, TheEmptyPreviewSaysWhetherTheFolderIsEmptyOrNothingIsSelected) {
    lf::ui::PreviewPane pane(store, *loader);
    pane.show();
    fs::create_directories(folder / "empty");
    open(folder / "empty");
    EXPECT_FALSE(pane.showsItem());
    EXPECT_EQ(pane.emptyText()->text(), "No pictures, movies or sounds in this folder.");

    fs::create_directories(folder / "full");
    writePicture(folder / "full" / "a.jpg", Qt::red);
    open(folder / "full");
    EXPECT_TRUE(pane.showsItem());
    store.setSelection(std::nullopt);
    EXPECT_FALSE(pane.showsItem());
    EXPECT_EQ(pane.emptyText()->text(), "Select an item to see it here.");
}

TEST_F(ItemViewsTest, APicturesPreviewShowsItsInformationAndTheCaptionEditorWritesToTheStore) {
    writePicture(folder / "a.jpg", Qt::red, 300, 200);
    open(folder.path());
    lf::ui::PreviewPane pane(store, *loader);
    pane.resize(500, 500);
    pane.show();
    LF_WAIT_FOR(pane.largeImage()->state() == lf::ui::LargeImage::State::shown);
    EXPECT_EQ(pane.largeImage()->image().size(), QSize(300, 200));
    EXPECT_EQ(pane.information()->fullText(), QString::fromUtf8("Picture \u00B7 a.jpg"));

    QTest::keyClicks(pane.captionEditor(), "Sunset");
    EXPECT_EQ(store.caption(store.project()->items[0]), "Sunset");
}

TEST_F(ItemViewsTest, AFileThatCannotBeDecodedShowsItsSymbolAndASentenceInsteadOfASpinner) {
    std::ofstream(folder / "broken.jpg") << "not a picture";
    open(folder.path());
    lf::ui::PreviewPane pane(store, *loader);
    pane.show();
    LF_WAIT_FOR(pane.largeImage()->state() == lf::ui::LargeImage::State::failed);
    EXPECT_EQ(pane.largeImage()->message(), QString::fromUtf8("Couldn’t show this picture."));
}

TEST_F(ItemViewsTest, AMovieGetsAPausedPlayerThatSelectingAnotherItemPauses) {
    writeMovie(folder / "a-movie.mp4");
    writeMovie(folder / "b-movie.mp4");
    writeSound(folder / "c-sound.m4a");
    open(folder.path());
    lf::ui::PreviewPane pane(store, *loader);
    pane.show();
    QPointer<QMediaPlayer> first = pane.mediaPlayer()->player();
    ASSERT_TRUE(first);
    EXPECT_NE(first->playbackState(), QMediaPlayer::PlayingState);
    EXPECT_EQ(first->source().toLocalFile().toStdString(), (folder / "a-movie.mp4").string());

    first->play();
    store.setSelection("b-movie.mp4");
    EXPECT_TRUE(!first || first->playbackState() != QMediaPlayer::PlayingState);
    QPointer<QMediaPlayer> second = pane.mediaPlayer()->player();
    ASSERT_TRUE(second);
    EXPECT_NE(second.data(), first.data());
    EXPECT_NE(second->playbackState(), QMediaPlayer::PlayingState);

    // A sound plays through the same view; nothing decodes a picture for it.
    store.setSelection("c-sound.m4a");
    ASSERT_TRUE(pane.mediaPlayer()->player());
    EXPECT_EQ(pane.mediaPlayer()->player()->source().toLocalFile().toStdString(), (folder / "c-sound.m4a").string());
    EXPECT_EQ(soundDecodes.load(), 0);
}

}  // namespace

// The picture cache behind thumbnails and the preview: what is decoded, at what size, what is kept,
// and what a changed file or a file that cannot be decoded does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/thumb_loader.hpp"
#include "model/project.hpp"
#include "support/shell_quoted.hpp"
#include "support/temporary_folder.hpp"

namespace {

namespace fs = std::filesystem;
using lf::app::ThumbLoader;
using lf::model::Item;
using lf::model::MediaKind;
using lf::testing::TemporaryFolder;

// Continuations of the loader run on the main thread's event loop, which needs an application.
void ensureApplication() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A picture of one colour written by Qt (the decoder under test is libvips, not Qt).
void writePicture(const fs::path& file, int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
}

// The folder's items as the folder scan sees them (kinds and modification times included).
std::vector<Item> scanned(const fs::path& folder) { return lf::model::Project(folder).items; }

const Item& named(const std::vector<Item>& items, const std::string& name) {
    for (const Item& item : items) {
        if (item.fileName() == name) return item;
    }
    throw std::runtime_error("no item " + name);
}

// The default decoder, counting the items that reach it.
struct CountingDecoder {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    ThumbLoader::Decoder decoder() const {
        return [calls = calls](const Item& item, int pixels) {
            ++*calls;
            return ThumbLoader::decodeItem(item, pixels);
        };
    }
};

// Asks the loader and waits for the answer on the event loop.
std::optional<QImage> load(ThumbLoader& loader, const Item& item, int pixels) {
    bool answered = false;
    std::optional<QImage> result;
    loader.request(item, pixels, nullptr, [&](std::optional<QImage> image) {
        answered = true;
        result = std::move(image);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000)) << "no answer for " << item.fileName();
    return result;
}

class ThumbLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
    TemporaryFolder folder;
};

TEST_F(ThumbLoaderTest, PicturesAndMoviesAreDecodedWithinTheSizeAndKeptUnderTheirKey) {
    writePicture(folder / "wide.jpg", 300, 200, Qt::red);
    writePicture(folder / "small.png", 30, 20, Qt::blue);
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:duration=2:rate=10 -pix_fmt yuv420p " +
                           lf::testing::shellQuoted((folder / "clip.mp4").string()))
                              .c_str()),
              0);
    const auto items = scanned(folder.path());
    CountingDecoder counting;
    ThumbLoader loader(counting.decoder());

    const struct {
        const char* name;
        int pixels;
        QSize size;
    } cases[] = {
        {"wide.jpg", 80, {80, 53}},     // the longer side brought down to the bound
        {"small.png", 80, {30, 20}},    // never enlarged
        {"clip.mp4", 80, {80, 60}},     // a movie gives its poster frame
        {"wide.jpg", 2000, {300, 200}}, // the preview size is a key of its own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Item& item = named(items, c.name);
        const auto image = load(loader, item, c.pixels);
        ASSERT_TRUE(image.has_value());
        EXPECT_NEAR(image->width(), c.size.width(), 1);
        EXPECT_NEAR(image->height(), c.size.height(), 1);
        EXPECT_EQ(image->devicePixelRatio(), 1.0);
        ASSERT_TRUE(loader.cached(item, c.pixels).has_value());
    }
    EXPECT_EQ(counting.calls->load(), 4);
    EXPECT_EQ(loader.count(), 4);
    const QColor centre = loader.cached(named(items, "wide.jpg"), 80)->pixelColor(40, 26);
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 60);

    // A cached picture is handed over at once, without another decode.
    bool answeredAtOnce = false;
    loader.request(named(items, "wide.jpg"), 80, nullptr, [&](std::optional<QImage> image) { answeredAtOnce = image.has_value(); });
    EXPECT_TRUE(answeredAtOnce);
    EXPECT_EQ(counting.calls->load(), 4);
}

TEST_F(ThumbLoaderTest, ASoundNeverReachesTheDecoder) {
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 " +
                           lf::testing::shellQuoted((folder / "tone.m4a").string()))
                              .c_str()),
              0);
    const auto items = scanned(folder.path());
    const Item& sound = named(items, "tone.m4a");
    ASSERT_EQ(sound.kind, MediaKind::audio);
    CountingDecoder counting;
    ThumbLoader loader(counting.decoder());

    bool answered = false;
    loader.request(sound, 80, nullptr, [&](std::optional<QImage> image) {
        answered = true;
        EXPECT_FALSE(image.has_value());
    });
    EXPECT_TRUE(answered);  // at once: there is nothing to wait for
    EXPECT_FALSE(loader.cached(sound, 80).has_value());
    QCoreApplication::processEvents();
    EXPECT_EQ(counting.calls->load(), 0);
    EXPECT_EQ(loader.count(), 0);
}

TEST_F(ThumbLoaderTest, AFileThatCannotBeDecodedGivesNothingAndIsTriedAgainLater) {
    // A name the scan takes for a picture, with contents no decoder reads; and a movie without video.
    std::ofstream(folder / "broken.jpg") << "this is not a picture";
    std::ofstream(folder / "empty.mp4") << "";
    const auto items = scanned(folder.path());
    CountingDecoder counting;
    ThumbLoader loader(counting.decoder());

    for (const char* name : {"broken.jpg", "empty.mp4"}) {
        SCOPED_TRACE(name);
        const Item& item = named(items, name);
        EXPECT_FALSE(load(loader, item, 80).has_value());
        EXPECT_FALSE(loader.cached(item, 80).has_value());
        // Nothing was cached for the failure, so asking again decodes again.
        const int before = counting.calls->load();
        EXPECT_FALSE(load(loader, item, 80).has_value());
        EXPECT_EQ(counting.calls->load(), before + 1);
    }
    EXPECT_EQ(loader.count(), 0);
}

TEST_F(ThumbLoaderTest, APictureReplacedOnDiskIsDecodedAfreshAfterARescan) {
    const fs::path file = folder / "same.jpg";
    writePicture(file, 64, 64, Qt::red);
    lf::model::Project project(folder.path());
    ThumbLoader loader;
    const QString oldKey = ThumbLoader::cacheKey(project.items.at(0), 80);
    const auto before = load(loader, project.items.at(0), 80);
    ASSERT_TRUE(before.has_value());
    EXPECT_GT(before->pixelColor(32, 32).red(), 200);

    writePicture(file, 64, 64, Qt::blue);
    // File systems keep times in whole seconds on some machines: make the change visible.
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(5));
    project.reloadItems();
    const Item& replaced = project.items.at(0);
    EXPECT_NE(ThumbLoader::cacheKey(replaced, 80), oldKey);
    ASSERT_FALSE(loader.cached(replaced, 80).has_value());
    const auto after = load(loader, replaced, 80);
    ASSERT_TRUE(after.has_value());
    EXPECT_GT(after->pixelColor(32, 32).blue(), 200);
    EXPECT_LT(after->pixelColor(32, 32).red(), 60);
}

TEST_F(ThumbLoaderTest, TheKeyNamesThePathTheSizeAndTheModificationTime) {
    Item item;
    item.url = "/pictures/Rome/a.jpg";
    item.modified = lf::model::TimePoint(std::chrono::milliseconds(1700000000250));
    EXPECT_EQ(ThumbLoader::cacheKey(item, 80).toStdString(), "/pictures/Rome/a.jpg#80#1700000000.250000");
    item.modified = {};
    EXPECT_EQ(ThumbLoader::cacheKey(item, 2000).toStdString(), "/pictures/Rome/a.jpg#2000#0.000000");
}

TEST_F(ThumbLoaderTest, TheCacheNeverHoldsMoreThanSixHundredPictures) {
    // A decoder that makes a tiny picture without touching the disk, so that many keys are cheap.
    ThumbLoader loader([](const Item&, int pixels) -> std::optional<QImage> {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::green);
        return image;
    });
    ASSERT_EQ(loader.capacity(), 600);
    int answers = 0;
    const int asked = 650;
    for (int index = 0; index < asked; ++index) {
        Item item;
        item.url = "/pictures/" + std::to_string(index) + ".jpg";
        loader.request(item, 80, nullptr, [&](std::optional<QImage>) { ++answers; });
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers == asked; }, 20000));
    EXPECT_EQ(loader.count(), 600);
    // The most recent pictures are the ones kept.
    Item last;
    last.url = "/pictures/" + std::to_string(asked - 1) + ".jpg";
    Item first;
    first.url = "/pictures/0.jpg";
    EXPECT_TRUE(loader.cached(last, 80).has_value());
    EXPECT_FALSE(loader.cached(first, 80).has_value());
}

TEST_F(ThumbLoaderTest, AnAnswerForAViewThatHasGoneIsDroppedButTheDecodeIsKept) {
    writePicture(folder / "a.jpg", 40, 40, Qt::red);
    const auto items = scanned(folder.path());
    ThumbLoader loader;
    auto* view = new QObject;
    bool called = false;
    loader.request(items.at(0), 80, view, [&](std::optional<QImage>) { called = true; });
    delete view;
    EXPECT_TRUE(QTest::qWaitFor([&] { return loader.count() == 1; }, 20000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

}  // namespace

// Builds with several workers: whatever the number of workers, the gallery, the build manifest,
// the progress, the error of a failing item and what a stop leaves behind are those of a build that
// makes one item after another.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <regex>
#include <stop_token>
#include <thread>

#include <vips/vips8>

#include "builder/build_error.hpp"
#include "builder/build_manifest.hpp"
#include "builder/gallery_builder.hpp"
#include "builder/support/build_fixtures.hpp"
#include "media/picture.hpp"
#include "model/project.hpp"

namespace lf::builder {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::TemporaryFolder;
using testing::writeText;

constexpr int64_t agedSeconds = 1'000'000'000;

void run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A noisy picture with bands coloured differently, so every file and every crop differs; bands 4
// gives it an alpha channel with transparent parts.
void makePicture(const fs::path& file, int width, int height, int seed, int bands = 3) {
    ASSERT_TRUE(media::initialize());
    fs::create_directories(file.parent_path());
    const vips::VImage noise = vips::VImage::gaussnoise(
        width, height, vips::VImage::option()->set("mean", 100.0 + seed)->set("sigma", 40.0)->set("seed", seed));
    std::vector<vips::VImage> more{noise.rot180().resize(1.0), noise.flip(VIPS_DIRECTION_HORIZONTAL)};
    if (bands == 4) more.push_back((noise > 90).ifthenelse(255, 0));
    noise.bandjoin(more)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(file.c_str());
}

class ParallelBuildTest : public ::testing::Test {
protected:
    fs::path pictures() const { return root_ / "Trip"; }
    fs::path output() const { return root_ / "Trip gallery"; }

    void SetUp() override { fs::create_directories(pictures()); }

    // Pictures named a.jpg, b.jpg, … of the given size, the first one larger, so that it takes
    // longest and the workers finish out of order.
    std::vector<std::string> makeLetters(int count, int width = 320, int height = 240) {
        std::vector<std::string> names;
        for (int index = 0; index < count; ++index) {
            names.push_back(std::string(1, static_cast<char>('a' + index)) + ".jpg");
            const int scale = index == 0 ? 4 : 1;
            makePicture(pictures() / names.back(), width * scale, height * scale, index + 1);
        }
        return names;
    }

    model::Project open() const { return model::Project(pictures()); }

    static BuildManifest manifestIn(const fs::path& folder) {
        auto manifest = BuildManifest::decode(readText(folder / BuildManifest::fileName));
        EXPECT_TRUE(manifest);
        return manifest.value_or(BuildManifest{});
    }

    static void age(const fs::path& folder) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) testing::setModificationTime(entry.path(), agedSeconds);
        }
    }

    static bool rewritten(const fs::path& file) {
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) return false;
        return info.st_mtim.tv_sec != agedSeconds;
    }

    TemporaryFolder root_;
};

// A folder of every kind the build handles: JPEGs in both orientations (one turned by its EXIF
// orientation), a picture too small to give the square from its display picture, a PNG with
// transparency, a grey TIFF, a WebP, a BMP, an animated GIF, a movie and a sound; with a watermark,
// downloads on and the order by dates taken that the build itself reads.
TEST_F(ParallelBuildTest, OneWorkerAndSeveralWorkersWriteTheSameBytes) {
    makePicture(pictures() / "beach.jpg", 1800, 1200, 1);
    makePicture(pictures() / "tower.jpg", 1200, 1800, 2);
    makePicture(pictures() / "turned.jpg", 1500, 1000, 3);
    run("exiftool -q -overwrite_original -Orientation#=6 -n " + quoted(pictures() / "turned.jpg"));
    makePicture(pictures() / "small.jpg", 400, 300, 4);
    makePicture(pictures() / "logo.png", 700, 500, 5, 4);
    makePicture(pictures() / "map.webp", 900, 700, 6);
    makePicture(pictures() / "scan.bmp", 500, 600, 7);
    vips::VImage::gaussnoise(800, 600, vips::VImage::option()->set("seed", 8))
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file((pictures() / "grey.tif").c_str());
    run("ffmpeg -f lavfi -i testsrc=duration=0.4:size=96x64:rate=10 " + quoted(pictures() / "anim.gif"));
    run("ffmpeg -f lavfi -i testsrc=duration=2:size=320x240:rate=10 -pix_fmt yuv420p " + quoted(pictures() / "clip.mp4"));
    run("ffmpeg -f lavfi -i sine=duration=0.5 " + quoted(pictures() / "song.wav"));
    run("exiftool -q -overwrite_original -DateTimeOriginal='2022:06:15 10:00:00' " + quoted(pictures() / "tower.jpg"));
    run("exiftool -q -overwrite_original -DateTimeOriginal='2021:01:01 10:00:00' " + quoted(pictures() / "beach.jpg"));

    model::Project project = open();
    project.settings.sort = "date";
    project.settings.watermark = "© Parallel";
    project.settings.allowDownload = true;
    const fs::path one = root_ / "one", several = root_ / "several";
    project.output = one.string();
    GalleryBuilder::build(project, std::nullopt, {}, {}, 1);
    project.output = several.string();
    GalleryBuilder::build(project, std::nullopt, {}, {}, 4);

    const std::vector<std::string> files = testing::filesBelow(one);
    ASSERT_EQ(testing::filesBelow(several), files);
    EXPECT_EQ(manifestIn(one).items.size(), 11u);
    for (const std::string& file : files) {
        std::string first = readText(one / file), second = readText(several / file);
        if (file == "lanternfold-gallery.json") {
            // The time of the build is the one thing that may differ.
            const std::regex updated("\"updated\": \"[^\"]*\"");
            first = std::regex_replace(first, updated, "");
            second = std::regex_replace(second, updated, "");
        }
        EXPECT_TRUE(first == second) << file << " differs";
    }
    // The dates taken read during the build put beach before tower in both.
    const std::string index = readText(several / "index.html");
    EXPECT_LT(index.find("p/beach.html"), index.find("p/tower.html"));
}

TEST_F(ParallelBuildTest, ProgressComesInItemOrderFromTheCallingThread) {
    const std::vector<std::string> names = makeLetters(10);
    std::vector<std::string> reported;
    bool otherThread = false;
    const std::thread::id caller = std::this_thread::get_id();
    GalleryBuilder::build(
        open(), std::nullopt,
        [&](int done, int total, const std::string& text) {
            otherThread = otherThread || std::this_thread::get_id() != caller;
            reported.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + text);
        },
        {}, 4);
    std::vector<std::string> expected;
    for (size_t index = 0; index < names.size(); ++index) {
        expected.push_back(std::to_string(index) + "/11 Preparing " + names[index]);
    }
    expected.push_back("10/11 Writing pages");
    expected.push_back("11/11 Done");
    EXPECT_EQ(reported, expected);
    EXPECT_FALSE(otherThread);
}

// The first failing item in display order decides the message, even when an item after it failed
// first, and nothing of the items after it is written.
TEST_F(ParallelBuildTest, TheFirstFailingItemInDisplayOrderEndsTheBuild) {
    makeLetters(6);
    writeText(pictures() / "b.jpg", "not a picture");
    writeText(pictures() / "d.jpg", "not a picture either");
    for (int round = 0; round < 3; ++round) {
        try {
            GalleryBuilder::build(open(), std::nullopt, {}, {}, 4);
            ADD_FAILURE() << "the build must fail";
        } catch (const BuildError& error) {
            EXPECT_STREQ(error.what(), "Couldn’t process “b.jpg”: Couldn’t read the picture “b.jpg”.");
        }
    }

    // Here b's failure comes last in time: it is found when its display picture is written, long
    // after d failed to decode.
    makePicture(pictures() / "b.jpg", 320, 240, 20);
    fs::create_directories(output() / "images/b.jpg/occupied");
    try {
        GalleryBuilder::build(open(), std::nullopt, {}, {}, 4);
        ADD_FAILURE() << "the build must fail";
    } catch (const BuildError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Couldn’t process “b.jpg”: Couldn’t write “b.jpg”", 0), 0u)
            << error.what();
    }
    EXPECT_TRUE(fs::exists(output() / "thumbs/a.jpg"));
    for (const char* later : {"thumbs/c.jpg", "images/c.jpg", "thumbs/e.jpg", "images/f.jpg", "index.html"}) {
        EXPECT_FALSE(fs::exists(output() / later)) << later;
    }
    EXPECT_FALSE(fs::exists(output() / BuildManifest::fileName));
}

// A stop during a rebuild writes nothing after the item it came at, no pages and no manifest; the
// next build redoes what the stopped one rewrote and reuses the rest, with one worker or several.
TEST_F(ParallelBuildTest, StopWritesNothingMoreAndTheNextBuildRedoesWhatItRewrote) {
    const std::vector<std::string> names = makeLetters(12);
    for (const int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        fs::remove_all(output());
        GalleryBuilder::build(open(), std::nullopt, {}, {}, workers);
        const auto finished = testing::snapshot(output());
        age(output());
        const auto aged = testing::snapshot(output());

        model::Project changed = open();
        changed.settings.quality = 40;
        std::stop_source stop;
        std::vector<std::string> texts;
        const Progress stopAtE = [&](int, int, const std::string& text) {
            texts.push_back(text);
            if (text == "Preparing e.jpg") stop.request_stop();
        };
        EXPECT_THROW(GalleryBuilder::build(changed, std::nullopt, stopAtE, stop.get_token(), workers), Cancelled);
        EXPECT_EQ(texts.back(), "Preparing e.jpg");
        EXPECT_EQ(readText(output() / BuildManifest::fileName), finished.at(BuildManifest::fileName).bytes);
        const auto stopped = testing::snapshot(output());
        for (const char* untouched : {".tessavane-build.json", "index.html", "p/a.html", "cover.jpg"}) {
            EXPECT_EQ(stopped.at(untouched), aged.at(untouched)) << untouched;
        }
        for (const char* redone : {"images/a.jpg", "thumbs/d.jpg"}) EXPECT_TRUE(rewritten(output() / redone)) << redone;
        for (size_t index = 5; index < names.size(); ++index) {
            const std::string slug = names[index].substr(0, 1);
            EXPECT_FALSE(rewritten(output() / ("images/" + slug + ".jpg"))) << slug;
            EXPECT_FALSE(rewritten(output() / ("thumbs/" + slug + ".jpg"))) << slug;
        }

        // Back to the settings of the finished build: the manifest still describes a to l, but the
        // stopped build replaced a to d (and perhaps e) with pictures at the other quality.
        GalleryBuilder::build(open(), std::nullopt, {}, {}, workers);
        const auto rebuilt = testing::snapshot(output());
        for (const std::string& name : names) {
            const std::string slug = name.substr(0, 1);
            for (const std::string& file : {"images/" + slug + ".jpg", "thumbs/" + slug + ".jpg"}) {
                EXPECT_TRUE(rebuilt.at(file).bytes == finished.at(file).bytes) << file << " is not the finished build's";
                if (slug > "e") {
                    EXPECT_FALSE(rewritten(output() / file)) << file << " was made again";
                }
            }
        }
        EXPECT_EQ(readText(output() / BuildManifest::fileName), finished.at(BuildManifest::fileName).bytes);
    }
}

}  // namespace
}  // namespace lf::builder

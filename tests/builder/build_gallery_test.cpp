// Whole builds on folders made here: what a rebuild reuses and what it redoes, what stale-file
// removal takes away and what it must never touch, cancellation, and the errors a user sees.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <regex>
#include <stop_token>

#include <vips/vips8>

#include "builder/build_error.hpp"
#include "builder/build_manifest.hpp"
#include "builder/build_steps.hpp"
#include "builder/gallery_builder.hpp"
#include "builder/support/build_fixtures.hpp"
#include "media/image_source.hpp"
#include "media/jpeg_writer.hpp"
#include "media/picture.hpp"
#include "media/thumbnails.hpp"
#include "model/project.hpp"
#include "platform/files.hpp"

namespace lf::builder {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::TemporaryFolder;
using testing::writeText;

// Every output file gets this modification time after a build, so the next build's writes stand
// out no matter how fast the clock ticks.
constexpr int64_t agedSeconds = 1'000'000'000;

void run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// A small noisy picture; seed makes each file's pixels different.
void makePicture(const fs::path& file, int width, int height, int seed) {
    ASSERT_TRUE(media::initialize());
    fs::create_directories(file.parent_path());
    vips::VImage noise = vips::VImage::gaussnoise(width, height,
                                                  vips::VImage::option()->set("mean", 100.0 + seed)->set("sigma", 30.0)->set("seed", seed));
    vips::VImage rgb = noise.bandjoin({noise.rot180().resize(1.0), noise.flip(VIPS_DIRECTION_HORIZONTAL)})
                           .cast(VIPS_FORMAT_UCHAR)
                           .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    rgb.write_to_file(file.c_str());
}

class GalleryBuildTest : public ::testing::Test {
protected:
    fs::path pictures() const { return root_ / "Trip"; }
    fs::path output() const { return root_ / "Trip gallery"; }

    void SetUp() override { fs::create_directories(pictures()); }

    void makePictures(const std::vector<std::string>& names, int width = 600, int height = 450) {
        int seed = 1;
        for (const std::string& name : names) makePicture(pictures() / name, width, height, seed++);
    }

    model::Project open() const { return model::Project(pictures()); }

    fs::path build(const model::Project& project, const Progress& progress = {}, const StopToken& stop = {}) {
        return GalleryBuilder::build(project, std::nullopt, progress, stop);
    }

    BuiltEntries manifestEntries(const fs::path& folder) const {
        auto manifest = BuildManifest::decode(readText(folder / BuildManifest::fileName));
        EXPECT_TRUE(manifest);
        return manifest ? manifest->items : BuiltEntries{};
    }

    static void age(const fs::path& folder) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && !entry.is_symlink()) testing::setModificationTime(entry.path(), agedSeconds);
        }
    }

    static bool rewritten(const fs::path& file) {
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) return false;
        return info.st_mtim.tv_sec != agedSeconds;
    }

    // The files below output/folder, for checking what a build left alone.
    static std::vector<fs::path> filesIn(const fs::path& folder) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        return files;
    }

    TemporaryFolder root_;
};

TEST_F(GalleryBuildTest, SecondBuildReusesEveryEntryAndRewritesOnlyTheTextFiles) {
    makePictures({"a.jpg", "b.jpg", "c.jpg"});
    run("ffmpeg -f lavfi -i sine=duration=0.5 '" + (pictures() / "d.wav").string() + "'");
    const fs::path index = build(open());
    EXPECT_EQ(index, output() / "index.html");
    const BuiltEntries first = manifestEntries(output());
    ASSERT_EQ(first.size(), 4u);
    const auto before = testing::snapshot(output());
    age(output());

    build(open());
    EXPECT_EQ(manifestEntries(output()), first);
    const auto after = testing::snapshot(output());
    for (const auto& [path, snap] : before) {
        const bool madeByItem = path.rfind("images/", 0) == 0 || path.rfind("thumbs/", 0) == 0 ||
                                path.rfind("media/", 0) == 0 || path.rfind("originals/", 0) == 0;
        ASSERT_TRUE(after.count(path)) << path;
        if (madeByItem) {
            EXPECT_FALSE(rewritten(output() / path)) << path << " was made again";
            EXPECT_EQ(after.at(path).bytes, snap.bytes) << path;
        } else {
            EXPECT_TRUE(rewritten(output() / path)) << path << " was not rewritten";
        }
    }
    for (const char* text : {"index.html", "p/a.html", "p/d.html", "style.css", "lanternfold.js", "cover.jpg",
                             "lanternfold-gallery.json", ".tessavane-build.json"}) {
        EXPECT_TRUE(after.count(text)) << text;
    }
}

// Linux file names are bytes; one that is not UTF-8 (here Latin-1 "café") must not fail the build
// when the build manifest is written, and an unchanged such file is reused like any other.
TEST_F(GalleryBuildTest, FileNameThatIsNotUTF8IsBuiltAndReused) {
    const std::string latin1Name = "caf\xe9.jpg";
    makePictures({latin1Name, "b.jpg"});
    build(open());
    const BuiltEntries first = manifestEntries(output());
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first.at("caf").source, "caf\xef\xbf\xbd.jpg");  // U+FFFD in place of the stray byte
    age(output());

    build(open());
    EXPECT_FALSE(rewritten(output() / "images/caf.jpg"));
    EXPECT_FALSE(rewritten(output() / "thumbs/caf.jpg"));
    EXPECT_EQ(manifestEntries(output()), first);
}

TEST_F(GalleryBuildTest, CaptionChangeRewritesPagesOnly) {
    makePictures({"a.jpg", "b.jpg"});
    build(open());
    age(output());
    model::Project project = open();
    project.captions["b.jpg"] = "Harbour at dusk";
    build(project);
    for (const char* file : {"images/a.jpg", "images/b.jpg", "thumbs/a.jpg", "thumbs/b.jpg"}) {
        EXPECT_FALSE(rewritten(output() / file)) << file;
    }
    EXPECT_TRUE(rewritten(output() / "p/b.html"));
    EXPECT_NE(readText(output() / "p/b.html").find("Harbour at dusk"), std::string::npos);
}

TEST_F(GalleryBuildTest, OutputAffectingSettingsRebuildEveryItem) {
    makePictures({"a.jpg", "b.jpg"}, 1200, 900);
    struct Case {
        const char* name;
        std::function<void(model::GallerySettings&)> change;
        std::function<void(const fs::path& out, const BuiltEntries& entries)> check;
    };
    const auto thumbSide = [](const fs::path& file) { return vips::VImage::new_from_file(file.c_str()).width(); };
    const std::vector<Case> cases{
        {"quality", [](auto& s) { s.quality = 60; }, {}},
        {"image-size", [](auto& s) { s.imageSize = 800; },
         [](const fs::path&, const BuiltEntries& entries) {
             EXPECT_EQ(entries.at("a").w, 800);
             EXPECT_EQ(entries.at("a").h, 600);
         }},
        {"thumb-size", [](auto& s) { s.thumbSize = 100; },
         [&](const fs::path& out, const BuiltEntries&) { EXPECT_EQ(thumbSide(out / "thumbs/a.jpg"), 200); }},
        {"watermark", [](auto& s) { s.watermark = "© Ann"; }, {}},
        {"opacity", [](auto& s) { s.watermarkOpacity = 90; }, {}},
        {"downloads-off", [](auto& s) { s.allowDownload = false; },
         [](const fs::path& out, const BuiltEntries& entries) {
             EXPECT_TRUE(fs::is_empty(out / "originals")) << "originals must be emptied in the same build";
             EXPECT_FALSE(entries.at("a").original);
             EXPECT_EQ(entries.at("a").files, (std::vector<std::string>{"thumbs/a.jpg", "images/a.jpg"}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model::Project project = open();
        project.output = (root_ / (std::string("out-") + c.name)).string();
        project.settings.allowDownload = true;
        build(project);
        const fs::path out = project.outputFolder();
        EXPECT_EQ(manifestEntries(out).at("b").original, "originals/b.jpg");
        EXPECT_EQ(manifestEntries(out).at("a").w, 1200);
        EXPECT_EQ(thumbSide(out / "thumbs/a.jpg"), 440);
        age(out);

        c.change(project.settings);
        build(project);
        for (const char* file : {"images/a.jpg", "images/b.jpg", "thumbs/a.jpg", "thumbs/b.jpg"}) {
            EXPECT_TRUE(rewritten(out / file)) << file;
        }
        for (const fs::path& original : filesIn(out / "originals")) EXPECT_TRUE(rewritten(original)) << original;
        const BuiltEntries entries = manifestEntries(out);
        EXPECT_EQ(entries.at("a").sig, settingsSignature([&] {
                      model::GallerySettings settings = project.settings;
                      settings.normalize();
                      return settings;
                  }()));
        if (c.check) c.check(out, entries);
    }
}

TEST_F(GalleryBuildTest, DeletedThumbnailAndTouchedSourceRebuildOnlyTheirItem) {
    makePictures({"a.jpg", "b.jpg", "c.jpg"});
    build(open());
    age(output());
    fs::remove(output() / "thumbs/b.jpg");
    testing::setModificationTime(pictures() / "c.jpg", 1'700'000'000, 5'000'000);
    build(open());
    EXPECT_FALSE(rewritten(output() / "thumbs/a.jpg"));
    EXPECT_FALSE(rewritten(output() / "images/a.jpg"));
    for (const char* file : {"thumbs/b.jpg", "images/b.jpg", "thumbs/c.jpg", "images/c.jpg"}) {
        EXPECT_TRUE(rewritten(output() / file)) << file;
    }
    EXPECT_EQ(manifestEntries(output()).at("c").stamp.modified, 1'700'000'000'005);
}

TEST_F(GalleryBuildTest, RenamedSourceGetsNewFilesAndTheOldSlugsFilesGo) {
    makePictures({"a.jpg", "Old Name.jpg"});
    model::Project project = open();
    project.settings.allowDownload = true;
    project.saveProjectFile();
    build(open());
    ASSERT_TRUE(fs::exists(output() / "originals/old-name.jpg"));
    fs::rename(pictures() / "Old Name.jpg", pictures() / "New Name.jpg");
    build(open());
    for (const char* gone : {"thumbs/old-name.jpg", "images/old-name.jpg", "originals/old-name.jpg", "p/old-name.html"}) {
        EXPECT_FALSE(fs::exists(output() / gone)) << gone;
    }
    for (const char* made : {"thumbs/new-name.jpg", "images/new-name.jpg", "originals/new-name.jpg", "p/new-name.html"}) {
        EXPECT_TRUE(fs::exists(output() / made)) << made;
    }
    const BuiltEntries entries = manifestEntries(output());
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.at("new-name").source, "New Name.jpg");
}

TEST_F(GalleryBuildTest, FewerIndexPagesRemoveTheExtraOnesAndDotFilesSurvive) {
    makePictures({"a.jpg", "b.jpg", "c.jpg"});
    model::Project project = open();
    project.settings.perPage = 1;
    build(project);
    for (const char* page : {"index.html", "index-2.html", "index-3.html"}) EXPECT_TRUE(fs::exists(output() / page)) << page;
    for (const char* dotFile : {"thumbs/.directory", "images/.DS_Store", "p/.htaccess", "media/.keep", "originals/.keep"}) {
        writeText(output() / dotFile, "mine");
    }

    project.settings.perPage = 0;
    build(project);
    EXPECT_TRUE(fs::exists(output() / "index.html"));
    EXPECT_FALSE(fs::exists(output() / "index-2.html"));
    EXPECT_FALSE(fs::exists(output() / "index-3.html"));
    for (const char* dotFile : {"thumbs/.directory", "images/.DS_Store", "p/.htaccess", "media/.keep", "originals/.keep"}) {
        EXPECT_EQ(readText(output() / dotFile), "mine") << dotFile;
    }
}

TEST_F(GalleryBuildTest, CorruptBuildManifestMeansAFullRebuild) {
    makePictures({"a.jpg", "b.jpg"});
    build(open());
    const BuiltEntries first = manifestEntries(output());
    age(output());
    writeText(output() / BuildManifest::fileName, "{\"version\":\"mac-1.0\",\"items\":{\"a\":{\"source\":");
    build(open());
    for (const char* file : {"images/a.jpg", "images/b.jpg", "thumbs/a.jpg", "thumbs/b.jpg"}) {
        EXPECT_TRUE(rewritten(output() / file)) << file;
    }
    EXPECT_EQ(manifestEntries(output()), first);
}

TEST_F(GalleryBuildTest, CancellingDuringTheFifthOfTenItemsWritesNoPages) {
    std::vector<std::string> names;
    for (char letter = 'a'; letter < 'a' + 10; ++letter) names.push_back(std::string(1, letter) + ".jpg");
    makePictures(names, 300, 200);
    std::stop_source stop;
    std::vector<std::string> reported;
    const Progress progress = [&](int done, int total, const std::string& text) {
        reported.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + text);
        if (text == "Preparing e.jpg") stop.request_stop();
    };
    EXPECT_THROW(build(open(), progress, stop.get_token()), Cancelled);
    EXPECT_EQ(reported.back(), "4/11 Preparing e.jpg");
    EXPECT_EQ(reported.size(), 5u);
    EXPECT_FALSE(fs::exists(output() / "thumbs/f.jpg"));
    EXPECT_FALSE(fs::exists(output() / "index.html"));
    EXPECT_TRUE(fs::is_empty(output() / "p"));
    EXPECT_FALSE(fs::exists(output() / BuildManifest::fileName));
    EXPECT_TRUE(fs::exists(output() / "thumbs/d.jpg"));

    // The next build picks up where this one stopped.
    reported.clear();
    build(open(), [&](int done, int total, const std::string& text) {
        reported.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + text);
    });
    EXPECT_EQ(reported.front(), "0/11 Preparing a.jpg");
    EXPECT_EQ(reported[10], "10/11 Writing pages");
    EXPECT_EQ(reported.back(), "11/11 Done");
    EXPECT_EQ(manifestEntries(output()).size(), 10u);
}

// The build manifest is the only memory of the last finished build: a rebuild that is stopped or
// fails at an item must leave it exactly as it was, so the next build still reuses what it lists.
TEST_F(GalleryBuildTest, StoppedOrFailedRebuildKeepsThePreviousBuildManifest) {
    makePictures({"a.jpg", "b.jpg", "c.jpg"});
    build(open());
    const std::string finished = readText(output() / BuildManifest::fileName);

    model::Project changed = open();
    changed.settings.quality = 60;  // every item is redone
    std::stop_source stop;
    const Progress stopAtB = [&](int, int, const std::string& text) {
        if (text == "Preparing b.jpg") stop.request_stop();
    };
    EXPECT_THROW(build(changed, stopAtB, stop.get_token()), Cancelled);
    EXPECT_EQ(readText(output() / BuildManifest::fileName), finished);

    writeText(pictures() / "b.jpg", "no longer a picture");
    EXPECT_THROW(build(changed), BuildError);
    EXPECT_EQ(readText(output() / BuildManifest::fileName), finished);
}

TEST_F(GalleryBuildTest, UndecodablePictureEndsTheBuildWithItsName) {
    makePictures({"a.jpg"});
    writeText(pictures() / "broken.jpg", "this is not a picture");
    try {
        build(open());
        FAIL() << "the build must fail";
    } catch (const BuildError& error) {
        EXPECT_EQ(error.kind(), BuildError::Case::item);
        EXPECT_STREQ(error.what(), "Couldn’t process “broken.jpg”: Couldn’t read the picture “broken.jpg”.");
    }
    EXPECT_FALSE(fs::exists(output() / "index.html"));
}

TEST_F(GalleryBuildTest, PicturesAreLearntDuringTheBuildAndReorderTheGallery) {
    makePictures({"a.jpg", "b.jpg", "c.jpg"});
    run("exiftool -overwrite_original -DateTimeOriginal='2023:05:03 10:00:00' '" + (pictures() / "a.jpg").string() + "'");
    run("exiftool -overwrite_original -DateTimeOriginal='2021:01:01 10:00:00' '" + (pictures() / "b.jpg").string() + "'");
    run("exiftool -overwrite_original -DateTimeOriginal='2022:06:15 10:00:00' '" + (pictures() / "c.jpg").string() + "'");
    // Modification times give the order a, b, c until the dates taken are known.
    testing::setModificationTime(pictures() / "a.jpg", 1'600'000'000);
    testing::setModificationTime(pictures() / "b.jpg", 1'600'000'100);
    testing::setModificationTime(pictures() / "c.jpg", 1'600'000'200);
    model::Project project = open();
    project.settings.sort = "date";

    std::vector<std::string> texts;
    build(project, [&](int, int, const std::string& text) { texts.push_back(text); });
    EXPECT_EQ(texts, (std::vector<std::string>{"Preparing a.jpg", "Preparing b.jpg", "Preparing c.jpg", "Writing pages", "Done"}));

    const std::string index = readText(output() / "index.html");
    const auto b = index.find("p/b.html"), c = index.find("p/c.html"), a = index.find("p/a.html");
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(b, c);
    EXPECT_LT(c, a);
}

TEST_F(GalleryBuildTest, MoviesSoundsAndAnimationsAreCopied) {
    makePictures({"a.jpg"});
    run("ffmpeg -f lavfi -i testsrc=duration=0.4:size=64x48:rate=10 '" + (pictures() / "anim.gif").string() + "'");
    run("ffmpeg -f lavfi -i testsrc=duration=2:size=160x120:rate=10 -pix_fmt yuv420p '" + (pictures() / "clip.mp4").string() + "'");
    run("ffmpeg -f lavfi -i sine=duration=0.5 '" + (pictures() / "song.wav").string() + "'");
    build(open());

    const BuiltEntries entries = manifestEntries(output());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.at("anim").display, "images/anim.gif");
    EXPECT_EQ(entries.at("anim").w, 64);
    EXPECT_EQ(entries.at("anim").h, 48);
    EXPECT_EQ(readText(output() / "images/anim.gif"), readText(pictures() / "anim.gif"));
    EXPECT_EQ(entries.at("clip").kind, model::MediaKind::video);
    EXPECT_EQ(entries.at("clip").files, (std::vector<std::string>{"thumbs/clip.jpg", "media/clip.mp4"}));
    EXPECT_FALSE(entries.at("clip").w || entries.at("clip").h || entries.at("clip").original);
    EXPECT_EQ(readText(output() / "media/clip.mp4"), readText(pictures() / "clip.mp4"));
    EXPECT_EQ(entries.at("song").display, "media/song.wav");
    for (const char* slug : {"a", "anim", "clip", "song"}) {
        EXPECT_EQ(vips::VImage::new_from_file((output() / "thumbs" / (std::string(slug) + ".jpg")).c_str()).width(), 440) << slug;
    }
    // The first still picture is the cover when none is chosen.
    EXPECT_EQ(readText(output() / "cover.jpg"), readText(output() / "thumbs/a.jpg"));
}

// A picture with smooth detail: noise of a few dozen cells enlarged, so two ways of scaling it
// agree to a level or two, while a square cropped elsewhere or drawn on differs clearly.
void makeSmoothPicture(const fs::path& file, int width, int height, int seed) {
    ASSERT_TRUE(media::initialize());
    const vips::VImage cells = vips::VImage::gaussnoise(width / 40, height / 40,
                                                        vips::VImage::option()->set("mean", 128.0)->set("sigma", 50.0)->set("seed", seed));
    const vips::VImage grey = cells.resize(40, vips::VImage::option()->set("kernel", VIPS_KERNEL_CUBIC));
    grey.bandjoin({grey.flip(VIPS_DIRECTION_HORIZONTAL), grey.flip(VIPS_DIRECTION_VERTICAL)})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .jpegsave(file.c_str(), vips::VImage::option()->set("Q", 92));
}

double meanDifference(const fs::path& a, const fs::path& b) {
    const vips::VImage first = vips::VImage::new_from_file(a.c_str());
    const vips::VImage second = vips::VImage::new_from_file(b.c_str());
    EXPECT_EQ(first.width(), second.width());
    EXPECT_EQ(first.height(), second.height());
    return (first.cast(VIPS_FORMAT_FLOAT) - second).abs().avg();
}

// A large picture's square is cropped from its decoded display picture and a small one's is decoded
// from the file. Either way the watermark drawn on the display picture never reaches the square, and
// the square is the one the file gives.
TEST_F(GalleryBuildTest, ThumbnailsNeverCarryTheWatermarkAndMatchTheSquareOfTheFile) {
    makeSmoothPicture(pictures() / "wide.jpg", 2400, 1800, 1);
    makeSmoothPicture(pictures() / "tall.jpg", 1200, 2000, 2);
    makeSmoothPicture(pictures() / "small.jpg", 640, 400, 3);
    model::Project project = open();
    project.output = (root_ / "plain").string();
    build(project);
    project.output = (root_ / "marked").string();
    project.settings.watermark = "© Lanternfold Test";
    project.settings.watermarkOpacity = 100;
    build(project);

    for (const std::string slug : {"wide", "tall", "small"}) {
        SCOPED_TRACE(slug);
        const std::string display = "images/" + slug + ".jpg", thumb = "thumbs/" + slug + ".jpg";
        EXPECT_GT(meanDifference(root_ / "plain" / display, root_ / "marked" / display), 0.05) << "no watermark drawn";
        EXPECT_EQ(readText(root_ / "marked" / thumb), readText(root_ / "plain" / thumb)) << "the watermark reached the square";

        const std::optional<media::ImageSource> source = media::ImageSource::open(pictures() / (slug + ".jpg"));
        ASSERT_TRUE(source);
        const std::optional<media::Picture> square = media::pictureThumbnail(*source, 440);
        ASSERT_TRUE(square);
        const fs::path expected = root_ / (slug + "-square.jpg");
        media::writeJPEG(*square, expected, 78);
        if (slug == "small") {
            // 400 pixels high, its display picture cannot give a 440 square; the file is decoded again.
            EXPECT_EQ(readText(root_ / "marked" / thumb), readText(expected));
        } else {
            EXPECT_LT(meanDifference(root_ / "marked" / thumb, expected), 2.0);
        }
    }
}

class SameFolderTest : public GalleryBuildTest {};

TEST_F(SameFolderTest, OutputThatWouldOverwriteOrPruneThePicturesIsRefusedBeforeWriting) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("HOME", root_.path().c_str(), 1);

    // Pictures kept in what would be the gallery's originals folder: a build would copy over them
    // and then delete every one it did not make.
    const fs::path site = root_ / "site";
    const fs::path inside = site / "originals";
    fs::create_directories(inside);
    makePicture(inside / "beach.jpg", 300, 200, 1);
    makePicture(inside / "beach.png", 300, 200, 2);
    makePictures({"a.jpg"});

    struct Case { fs::path pictures; std::string output; };
    const std::vector<Case> cases{
        {pictures(), pictures().string()},
        {pictures(), pictures().string() + "/"},
        {pictures(), "~/Trip"},
        {pictures(), "~/Trip/../Trip/."},
        {inside, site.string()},
        {inside, "~/site"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const auto before = testing::snapshot(root_.path());
        model::Project project(c.pictures);
        project.output = c.output;
        try {
            build(project);
            ADD_FAILURE() << "the build must be refused";
        } catch (const BuildError& error) {
            EXPECT_EQ(error.kind(), BuildError::Case::sameFolder);
            EXPECT_STREQ(error.what(), "The gallery folder must be different from the pictures folder.");
        }
        EXPECT_EQ(testing::snapshot(root_.path()), before);
        EXPECT_FALSE(fs::exists(c.pictures / "images"));
        EXPECT_FALSE(fs::exists(site / "thumbs"));
    }
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(SameFolderTest, FoldersAndOtherFilesInTheOutputFolderSurviveABuild) {
    // Someone keeps older pictures in folders inside the gallery's folders and beside them.
    makePictures({"a.jpg"});
    const fs::path site = root_ / "site";
    makePicture(site / "originals/2019/beach.jpg", 300, 200, 3);
    makePicture(site / "images/old-trip/hill.jpg", 300, 200, 4);
    makePicture(site / "raw/keep.jpg", 300, 200, 5);
    writeText(site / "notes.txt", "mine");
    const auto kept = testing::snapshot(site);

    model::Project project = open();
    project.output = site.string();
    build(project);
    build(project);
    const auto after = testing::snapshot(site);
    for (const auto& [path, snap] : kept) EXPECT_EQ(after.at(path), snap) << path;
}

TEST_F(GalleryBuildTest, EmptyFolderAndUnwritableOutput) {
    try {
        build(open());
        FAIL() << "an empty folder must be refused";
    } catch (const BuildError& error) {
        EXPECT_STREQ(error.what(), "No pictures, movies or sounds were found in the folder.");
    }
    EXPECT_FALSE(fs::exists(output()));

    makePictures({"a.jpg"});
    writeText(root_ / "occupied", "a file where the output folder should be");
    model::Project project = open();
    project.output = (root_ / "occupied").string();
    EXPECT_THROW(build(project), platform::FileError);
}

}  // namespace
}  // namespace lf::builder

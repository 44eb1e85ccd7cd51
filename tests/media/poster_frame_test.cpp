// Movie posters: the frame at one second, else at the start, upright and within the bound.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <stop_token>

#include "media/jpeg_writer.hpp"
#include "media/poster_frame.hpp"
#include "media/thumbnails.hpp"
#include "media/work_observer.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;

// A movie made by ffmpeg from a lavfi graph, H.264 with one key frame at the start only, so that
// reaching one second means decoding forward from the key frame before it.
fs::path makeMovie(const TemporaryFolder& folder, const std::string& name, const std::string& graph,
                   const std::string& extra = "") {
    const fs::path file = folder / name;
    run("ffmpeg -v error -y -f lavfi -i " + shellQuoted(graph) + " -c:v libx264 -pix_fmt yuv420p -g 250 " + extra + " " +
        shellQuoted(file));
    return file;
}

// Red for the first second, green from then on.
std::string redThenGreen(double seconds, const std::string& size = "64x48") {
    return "color=c=red:s=" + size + ":r=25:d=" + std::to_string(seconds) +
           ",drawbox=x=0:y=0:w=iw:h=ih:color=green:t=fill:enable='gte(t,1)'";
}

TEST(PosterFrame, TakesTheFrameAtOneSecond) {
    TemporaryFolder folder;
    const fs::path movie = makeMovie(folder, "two-seconds.mp4", redThenGreen(2));
    const std::optional<Picture> poster = posterFrame(movie, 1200);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->width(), 64);
    EXPECT_EQ(poster->height(), 48);
    EXPECT_TRUE(near(pixel(*poster, 32, 24), {0, 128, 0}, 20)) << describe(pixel(*poster, 32, 24));
}

TEST(PosterFrame, MovieShorterThanASecondGivesItsFirstFrame) {
    TemporaryFolder folder;
    // Half a second: red for the first quarter, then blue.
    const fs::path movie = makeMovie(folder, "half-second.mp4",
                                     "color=c=red:s=64x48:r=25:d=0.5,drawbox=x=0:y=0:w=iw:h=ih:color=blue:t=fill:enable='gte(t,0.25)'");
    const std::optional<Picture> poster = posterFrame(movie, 1200);
    ASSERT_TRUE(poster);
    EXPECT_TRUE(near(pixel(*poster, 32, 24), {255, 0, 0}, 20)) << describe(pixel(*poster, 32, 24));
}

// Phones film upright with the sensor turned and record the turn in the track's display matrix.
TEST(PosterFrame, DisplayRotationIsApplied) {
    TemporaryFolder folder;
    // Stored frames: left half red, right half blue.
    const fs::path stored = makeMovie(folder, "stored.mp4", "color=c=red:s=64x32:r=25:d=0.5,drawbox=x=32:y=0:w=32:h=32:color=blue:t=fill");
    struct Case {
        int rotateTag;   // the container's "rotate" tag, clockwise
        Colour top;      // what the upright poster shows at the top
        Colour bottom;
    };
    // rotate=270 writes the display matrix −90 that phones write: turn a quarter clockwise.
    const Case cases[] = {{270, {255, 0, 0}, {0, 0, 255}}, {90, {0, 0, 255}, {255, 0, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("rotate " + std::to_string(c.rotateTag));
        const fs::path movie = folder / ("rotated-" + std::to_string(c.rotateTag) + ".mp4");
        ASSERT_TRUE(run("ffmpeg -v error -y -i " + shellQuoted(stored) + " -c copy -metadata:s:v:0 rotate=" +
                        std::to_string(c.rotateTag) + " " + shellQuoted(movie)));
        const std::optional<Picture> poster = posterFrame(movie, 1200);
        ASSERT_TRUE(poster);
        EXPECT_EQ(poster->width(), 32);
        EXPECT_EQ(poster->height(), 64);
        EXPECT_TRUE(near(pixel(*poster, 16, 8), c.top, 20)) << describe(pixel(*poster, 16, 8));
        EXPECT_TRUE(near(pixel(*poster, 16, 56), c.bottom, 20)) << describe(pixel(*poster, 16, 56));
    }
}

TEST(PosterFrame, FitsWithinTheBoundWithSquarePixels) {
    TemporaryFolder folder;
    struct Case {
        std::string name, graph, extra;
        int maxSide, width, height;
    };
    const Case cases[] = {
        {"large.mp4", redThenGreen(1.5, "1920x1080"), "", 1200, 1200, 675},
        {"small.mp4", redThenGreen(1.5, "320x240"), "", 1200, 320, 240},  // never enlarged
        // Pixels twice as wide as high, as DV and some camcorders store them.
        {"anamorphic.mp4", redThenGreen(1.5, "360x240") + ",setsar=2", "", 1200, 720, 240},
        {"tiny-bound.mp4", redThenGreen(1.5, "640x480"), "", 100, 100, 75},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Picture> poster = posterFrame(makeMovie(folder, c.name, c.graph, c.extra), c.maxSide);
        ASSERT_TRUE(poster);
        EXPECT_EQ(poster->width(), c.width);
        EXPECT_EQ(poster->height(), c.height);
        EXPECT_EQ(poster->bands(), 3);
        EXPECT_TRUE(near(pixel(*poster, c.width / 2, c.height / 2), {0, 128, 0}, 20));
    }
}

TEST(PosterFrame, FilesWithoutDecodableVideoGiveNothing) {
    TemporaryFolder folder;
    std::ofstream(folder / "broken.mp4") << "not a movie at all, only some text that looks nothing like one";
    const fs::path sound = folder / "tone.m4a";
    ASSERT_TRUE(run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 " + shellQuoted(sound)));
    for (const fs::path& file : {folder / "broken.mp4", sound, folder / "missing.mov"}) {
        EXPECT_FALSE(posterFrame(file, 1200)) << file.filename();
    }
    // What the build then makes: the dark square with the play symbol.
    const std::optional<Picture> square = mediaThumbnail(lf::model::MediaKind::video, posterFrame(folder / "broken.mp4", 1200), 100);
    ASSERT_TRUE(square);
    EXPECT_TRUE(near(pixel(*square, 2, 2), {46, 50, 58}, 2));
    EXPECT_TRUE(near(pixel(*square, 50, 50), {237, 237, 237}, 3));
}

TEST(PosterFrame, SampleForTheEye) {
    TemporaryFolder folder;
    const fs::path movie = makeMovie(folder, "testsrc.mp4", "testsrc2=s=1280x720:r=25:d=2");
    const std::optional<Picture> poster = posterFrame(movie, 1200);
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->width(), 1200);
    EXPECT_EQ(poster->height(), 675);
    const std::optional<Picture> square = mediaThumbnail(lf::model::MediaKind::video, poster, 440);
    ASSERT_TRUE(square);
    writeJPEG(*poster, samplesFolder() / "poster-frame-1200.jpg", 82);
    writeJPEG(*square, samplesFolder() / "square-movie-frame.jpg", 82);
}

class CancelInsidePoster : public ::testing::Test {
protected:
    void TearDown() override { detail::setWorkObserverForTesting({}); }
};

// The stop arrives from inside FFmpeg's reading (its interrupt callback).
TEST_F(CancelInsidePoster, StopDuringExtractionThrowsCancelled) {
    TemporaryFolder folder;
    const fs::path movie = makeMovie(folder, "two-seconds.mp4", redThenGreen(2));
    std::stop_source stopper;
    std::atomic<int> steps{0};
    detail::setWorkObserverForTesting([&] {
        if (steps++ == 0) stopper.request_stop();
    });
    EXPECT_THROW(posterFrame(movie, 1200, stopper.get_token()), lf::Cancelled);
    EXPECT_GE(steps.load(), 1);

    detail::setWorkObserverForTesting({});
    EXPECT_TRUE(posterFrame(movie, 1200));
}

}  // namespace
}  // namespace lf::media

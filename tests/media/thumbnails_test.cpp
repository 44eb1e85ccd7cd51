// Square thumbnails of pictures, movies and sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "media/decode_scaled.hpp"
#include "media/jpeg_writer.hpp"
#include "media/thumbnails.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;
using lf::model::MediaKind;

TEST(SquareThumbnail, PortraitKeepsFortyPercentOfTheExcessAboveAndSixtyBelow) {
    // 200 × 500 scaled to a 100 square: 250 high, 150 of excess, 60 cut at the top and 90 at the
    // bottom, i.e. rows 120 to 320 of the source. Red above, green there, blue below: a centred
    // crop (rows 150 to 350) would show blue at the bottom, a top crop red at the top.
    Picture portrait = solid(200, 500, red);
    portrait = withRectangle(portrait, 0, 120, 200, 200, green);
    portrait = withRectangle(portrait, 0, 320, 200, 180, blue);
    const std::optional<Picture> square = squareThumbnail(portrait, 100);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), 100);
    EXPECT_EQ(square->height(), 100);
    for (const int y : {2, 50, 97}) {
        EXPECT_TRUE(near(pixel(*square, 50, y), green, 12)) << "row " << y << " " << describe(pixel(*square, 50, y));
    }
    // The bands' edges lie just outside the square.
    EXPECT_FALSE(near(pixel(*square, 50, 0), green, 2));
    EXPECT_FALSE(near(pixel(*square, 50, 99), green, 2));
}

TEST(SquareThumbnail, LandscapeLosesEqualPartsLeftAndRight) {
    Picture landscape = solid(500, 200, red);
    landscape = withRectangle(landscape, 150, 0, 200, 200, green);
    landscape = withRectangle(landscape, 350, 0, 150, 200, blue);
    const std::optional<Picture> square = squareThumbnail(landscape, 100);
    ASSERT_TRUE(square);
    for (const int x : {2, 50, 97}) {
        EXPECT_TRUE(near(pixel(*square, x, 50), green, 12)) << "column " << x << " " << describe(pixel(*square, x, 50));
    }
}

TEST(SquareThumbnail, SmallPicturesAreEnlargedAndTransparencyTurnsWhite) {
    const Picture transparent = solid(30, 20, red).bandjoin(withRectangle(solid(30, 20, white), 15, 0, 15, 20, {0, 0, 0})[0])
                                    .copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const std::optional<Picture> square = squareThumbnail(transparent, 90);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), 90);
    EXPECT_EQ(square->height(), 90);
    EXPECT_EQ(square->bands(), 3);
    EXPECT_TRUE(near(pixel(*square, 10, 45), red, 8));
    EXPECT_TRUE(near(pixel(*square, 80, 45), white, 8));
    EXPECT_FALSE(squareThumbnail(solid(30, 20, red), 0));
}

TEST(PictureThumbnail, DecodesJustLargeEnoughAndCropsUpright) {
    TemporaryFolder folder;
    // A 3000 × 4000 portrait stored as 4000 × 3000 with orientation 6: red above row 400, green
    // from 400 to 3400, blue below.
    Picture upright = solid(300, 400, red);
    upright = withRectangle(upright, 0, 40, 300, 300, green);
    upright = withRectangle(upright, 0, 340, 300, 60, blue);
    const fs::path file = folder / "portrait.jpg";
    upright.resize(10, Picture::option()->set("kernel", VIPS_KERNEL_NEAREST)).rot(VIPS_ANGLE_D270).jpegsave(file.c_str());
    ASSERT_TRUE(run("exiftool -q -overwrite_original -n -Orientation#=6 " + shellQuoted(file)));
    const std::optional<ImageSource> source = ImageSource::open(file);
    ASSERT_TRUE(source);
    const std::optional<Picture> square = pictureThumbnail(*source, 440);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), 440);
    EXPECT_EQ(square->height(), 440);
    // 440 wide makes it 587 high: 147 of excess, 59 cut at the top, so the square shows source
    // rows 402 to 3402, all green. Upside down, unturned or centred (rows 501 to 3501) it would not be.
    EXPECT_TRUE(near(pixel(*square, 220, 5), green, 20)) << describe(pixel(*square, 220, 5));
    EXPECT_TRUE(near(pixel(*square, 220, 435), green, 20)) << describe(pixel(*square, 220, 435));
}

// A picture whose detail survives the scaling to a square: sine waves across and down, of a
// different period in each band, over a diagonal gradient. A crop moved by two pixels, a picture
// turned the wrong way or scaled differently changes most of its pixels by several levels.
Picture waves(int width, int height) {
    initialize();
    const Picture xy = Picture::xyz(width, height);
    const Picture x = xy[0], y = xy[1];
    // vips takes the sine of degrees.
    const auto wave = [](const Picture& axis, double period, double amplitude) {
        return (axis * (360.0 / period)).sin() * amplitude;
    };
    const Picture slope = (x + y) * (60.0 / (width + height));
    const Picture r = wave(x, 170, 55) + wave(y, 230, 35) + slope + 110;
    const Picture g = wave(x, 250, 40) + wave(y, 150, 50) + slope + 100;
    const Picture b = wave(x + y, 200, 60) + 120 - slope;
    return Picture::bandjoin({r, g, b}).cast(VIPS_FORMAT_UCHAR).copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// The mean of the absolute differences of two pictures of the same size, over all bands.
double meanDifference(const Picture& a, const Picture& b) { return (a.cast(VIPS_FORMAT_FLOAT) - b).abs().avg(); }

// The build crops a picture's square from its decoded display picture when that is large enough,
// instead of decoding the file again for the square. Both ways must give the same square: the same
// crop rule, orientation and flattening, differing only by resampling.
TEST(PictureThumbnail, SquareFromTheDisplayPictureMatchesTheSquareDecodedFromTheFile) {
    TemporaryFolder folder;
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const std::vector<Case> cases{
        {"landscape.jpg", [](const fs::path& file) { waves(2400, 1800).jpegsave(file.c_str(), Picture::option()->set("Q", 92)); }},
        {"portrait.jpg", [](const fs::path& file) { waves(1800, 2400).jpegsave(file.c_str(), Picture::option()->set("Q", 92)); }},
        {"turned.jpg",
         [](const fs::path& file) {
             // Upright 1800 × 2400, stored lying on its side with orientation 6.
             waves(1800, 2400).rot(VIPS_ANGLE_D270).jpegsave(file.c_str(), Picture::option()->set("Q", 92));
             run("exiftool -q -overwrite_original -n -Orientation#=6 " + shellQuoted(file));
         }},
        {"transparent.png",
         [](const fs::path& file) {
             // Opaque on the right, fading to fully transparent towards the left edge.
             const Picture x = Picture::xyz(2400, 1800)[0];
             const Picture alpha = (x * (255.0 / 1200) - 40).cast(VIPS_FORMAT_UCHAR);
             waves(2400, 1800).bandjoin(alpha).copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                 .pngsave(file.c_str(), Picture::option()->set("compression", 1));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder / c.name;
        c.make(file);
        const std::optional<ImageSource> source = ImageSource::open(file);
        ASSERT_TRUE(source);
        const std::optional<Picture> display = decodeScaled(*source, 1600);
        ASSERT_TRUE(display);
        ASSERT_GE(std::min(display->width(), display->height()), 440);
        const std::optional<Picture> fromDisplay = squareThumbnail(*display, 440);
        const std::optional<Picture> fromFile = pictureThumbnail(*source, 440);
        ASSERT_TRUE(fromDisplay);
        ASSERT_TRUE(fromFile);
        ASSERT_EQ(fromDisplay->width(), 440);
        ASSERT_EQ(fromDisplay->height(), 440);
        ASSERT_EQ(fromDisplay->bands(), 3);
        ASSERT_EQ(fromFile->width(), 440);
        ASSERT_EQ(fromFile->bands(), 3);
        EXPECT_LT(meanDifference(*fromDisplay, *fromFile), 2.0);
        // The test picture does tell crops apart: one moved by two pixels differs clearly.
        const Picture moved = fromFile->embed(2, 0, 440, 440, Picture::option()->set("extend", VIPS_EXTEND_COPY));
        EXPECT_GT(meanDifference(*fromDisplay, moved), 4.0);
    }
}

// Colour of the symbol's parts over the dark background: the disc darkens it to 53 %, the symbol
// covers that at 92 % with white.
constexpr Colour background{46, 50, 58};
constexpr Colour disc{24, 27, 31};
constexpr Colour symbol{237, 237, 237};

TEST(MediaThumbnail, MovieWithoutPosterIsTheDarkSquareWithPlaySymbol) {
    const int size = 440;
    const double c = size * 0.5, r = size * 0.15;
    const std::optional<Picture> square = mediaThumbnail(MediaKind::video, std::nullopt, size);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), size);
    EXPECT_EQ(square->height(), size);
    // Points given from the top left, y downwards (the triangle is symmetric about the middle).
    struct Probe {
        double x, y;
        Colour expected;
    };
    const Probe probes[] = {
        {5, 5, background},
        {size - 5.0, size - 5.0, background},
        {c, c - 1.6 * r, disc},              // inside the disc, above the triangle
        {c - 1.65 * r, c, disc},
        {c + 1.75 * r, c, background},       // just outside the disc
        {c, c, symbol},                      // the triangle's middle
        {c + 0.9 * r, c, symbol},            // near its tip, pointing right
        {c - 0.5 * r, c - 0.9 * r, symbol},  // near its upper left corner
        {c + 0.5 * r, c - 0.8 * r, disc},    // outside its slanted edge
    };
    for (const Probe& probe : probes) {
        const Colour found = pixel(*square, int(probe.x), int(probe.y));
        EXPECT_TRUE(near(found, probe.expected, 3)) << probe.x << "," << probe.y << " " << describe(found);
    }
}

TEST(MediaThumbnail, SoundIsTheDarkSquareWithSpeakerAndTwoArcs) {
    const int size = 440;
    const double c = size * 0.5, r = size * 0.15;
    const std::optional<Picture> square = mediaThumbnail(MediaKind::audio, std::nullopt, size);
    ASSERT_TRUE(square);
    struct Probe {
        double x, y;
        Colour expected;
    };
    const double inner = 0.55 * r, outer = 0.95 * r, centre = c + 0.05 * r;
    const double sixty = std::numbers::pi / 3, thirty = std::numbers::pi / 6;
    const Probe probes[] = {
        {5, 5, background},
        {c - 0.775 * r, c, symbol},                    // the box
        {c - 0.2 * r, c - 0.5 * r, symbol},            // the cone, above the box's height
        {c - 0.775 * r, c - 0.5 * r, disc},            // above the box, left of the cone
        {centre + inner, c, symbol},                   // inner arc at 0°
        {centre + outer, c, symbol},                   // outer arc at 0°
        {centre + 0.75 * r, c, disc},                  // between the arcs
        {centre + outer * std::cos(thirty), c - outer * std::sin(thirty), symbol},  // 30°, within the arc
        {centre + outer * std::cos(sixty), c - outer * std::sin(sixty), disc},      // 60°, past its end
        {centre + outer * std::cos(sixty), c + outer * std::sin(sixty), disc},      // −60°
    };
    for (const Probe& probe : probes) {
        const Colour found = pixel(*square, int(std::lround(probe.x)), int(std::lround(probe.y)));
        EXPECT_TRUE(near(found, probe.expected, 3)) << probe.x << "," << probe.y << " " << describe(found);
    }
}

TEST(MediaThumbnail, PosterIsCroppedUnderTheSymbol) {
    const std::optional<Picture> square = mediaThumbnail(MediaKind::video, solid(640, 360, yellow), 200);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), 200);
    EXPECT_TRUE(near(pixel(*square, 3, 3), yellow, 3));
    // Yellow under the translucent black disc.
    const Colour darkened{int(yellow[0] * 0.53 + 0.5), int(yellow[1] * 0.53 + 0.5), int(yellow[2] * 0.53 + 0.5)};
    EXPECT_TRUE(near(pixel(*square, 100, 100 - 48), darkened, 3)) << describe(pixel(*square, 100, 52));
}

TEST(MediaThumbnail, SamplesForTheEye) {
    const fs::path folder = samplesFolder();
    Picture portrait = solid(600, 900, {90, 140, 200});
    portrait = withRectangle(portrait, 150, 120, 300, 300, {240, 200, 60});  // a "face" in the upper part
    portrait = withRectangle(portrait, 0, 650, 600, 250, {60, 120, 60});
    Picture landscape = solid(1200, 800, {90, 140, 200});
    landscape = withRectangle(landscape, 0, 500, 1200, 300, {60, 120, 60});
    landscape = withRectangle(landscape, 550, 300, 100, 300, {150, 90, 50});
    const struct {
        const char* name;
        std::optional<Picture> square;
    } samples[] = {
        {"square-picture-portrait.jpg", squareThumbnail(portrait, 440)},
        {"square-picture-landscape.jpg", squareThumbnail(landscape, 440)},
        {"square-movie-poster.jpg", mediaThumbnail(MediaKind::video, landscape, 440)},
        {"square-movie-no-poster.jpg", mediaThumbnail(MediaKind::video, std::nullopt, 440)},
        {"square-sound.jpg", mediaThumbnail(MediaKind::audio, std::nullopt, 440)},
        {"square-sound-small.jpg", mediaThumbnail(MediaKind::audio, std::nullopt, 64)},
    };
    for (const auto& sample : samples) {
        ASSERT_TRUE(sample.square) << sample.name;
        writeJPEG(*sample.square, folder / sample.name, 82);
    }
}

}  // namespace
}  // namespace lf::media

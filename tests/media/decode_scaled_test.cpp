// Opening picture files and decoding them upright, in sRGB, scaled in the decoder.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <stop_token>

#include "media/decode_scaled.hpp"
#include "media/image_source.hpp"
#include "media/work_observer.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;

// An upright 64 × 32 picture whose four quadrants have different colours, so any turn or mirror
// shows: red top left, green top right, blue bottom left, yellow bottom right.
Picture uprightQuadrants() {
    Picture picture = solid(64, 32, red);
    picture = withRectangle(picture, 32, 0, 32, 16, green);
    picture = withRectangle(picture, 0, 16, 32, 16, blue);
    return withRectangle(picture, 32, 16, 32, 16, yellow);
}

// The picture to store under EXIF orientation n so that applying n gives the upright picture.
Picture storedFor(int orientation, const Picture& upright) {
    switch (orientation) {
        case 2: return upright.flip(VIPS_DIRECTION_HORIZONTAL);
        case 3: return upright.rot(VIPS_ANGLE_D180);
        case 4: return upright.flip(VIPS_DIRECTION_VERTICAL);
        case 5: return upright.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_HORIZONTAL);  // transpose
        case 6: return upright.rot(VIPS_ANGLE_D270);  // shown turned a quarter clockwise
        case 7: return upright.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_VERTICAL);    // transverse
        case 8: return upright.rot(VIPS_ANGLE_D90);   // shown turned a quarter anticlockwise
        default: return upright;
    }
}

void expectQuadrants(const Picture& picture, int width, int height) {
    ASSERT_EQ(picture.width(), width);
    ASSERT_EQ(picture.height(), height);
    const int qx = width / 4, qy = height / 4;
    EXPECT_TRUE(near(pixel(picture, qx, qy), red, 40)) << describe(pixel(picture, qx, qy));
    EXPECT_TRUE(near(pixel(picture, 3 * qx, qy), green, 40)) << describe(pixel(picture, 3 * qx, qy));
    EXPECT_TRUE(near(pixel(picture, qx, 3 * qy), blue, 40)) << describe(pixel(picture, qx, 3 * qy));
    EXPECT_TRUE(near(pixel(picture, 3 * qx, 3 * qy), yellow, 40)) << describe(pixel(picture, 3 * qx, 3 * qy));
}

TEST(DecodeScaled, EveryOrientationComesOutUprightAndItsSizeAgrees) {
    TemporaryFolder folder;
    const Picture upright = uprightQuadrants();
    // Every orientation in JPEG; the quarter turns and the half turn in the other formats that
    // carry EXIF (TIFF takes another decoding path than the rest).
    const struct {
        const char* extension;
        std::vector<int> orientations;
    } formats[] = {{"jpg", {1, 2, 3, 4, 5, 6, 7, 8}}, {"tif", {3, 6, 8}}, {"webp", {3, 6, 8}}, {"png", {6}}};
    for (const auto& format : formats) {
        for (const int orientation : format.orientations) {
            SCOPED_TRACE(std::string(format.extension) + " orientation " + std::to_string(orientation));
            const fs::path file = folder / ("o" + std::to_string(orientation) + "." + format.extension);
            storedFor(orientation, upright).write_to_file(file.c_str(), Picture::option()->set("Q", 95));
            ASSERT_TRUE(run("exiftool -q -overwrite_original -n -Orientation#=" + std::to_string(orientation) + " " +
                            shellQuoted(file)));
            const std::optional<ImageSource> source = ImageSource::open(file);
            ASSERT_TRUE(source);
            EXPECT_EQ(source->orientation(), orientation);
            EXPECT_EQ(orientedPixelSize(*source), (PixelSize{64, 32}));
            const std::optional<Picture> decoded = decodeScaled(*source, 1000);
            ASSERT_TRUE(decoded);
            expectQuadrants(*decoded, 64, 32);
            // The same holds when the decoder also shrinks.
            const std::optional<Picture> halved = decodeScaled(*source, 32);
            ASSERT_TRUE(halved);
            expectQuadrants(*halved, 32, 16);
        }
    }
}

TEST(DecodeScaled, LongerSideIsBoundedAndAspectKept) {
    TemporaryFolder folder;
    struct Case {
        int width, height, maxSide, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {6000, 4000, 1600, 1600, 1067},  // a 24-megapixel photo at the default display size
        {4000, 6000, 1600, 1067, 1600},
        {1200, 800, 1600, 1200, 800},    // already within the bound: never enlarged
        {1600, 1600, 1600, 1600, 1600},
        {4000, 3000, 587, 587, 440},     // the decode of a 440 square thumbnail
        {300, 200, 0, 1, 1},             // the bound is at least one pixel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " at " + std::to_string(c.maxSide));
        const fs::path file = folder / "size.jpg";
        solid(c.width, c.height, green).jpegsave(file.c_str());
        const std::optional<ImageSource> source = ImageSource::open(file);
        ASSERT_TRUE(source);
        const std::optional<Picture> decoded = decodeScaled(*source, c.maxSide);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width(), c.expectedWidth);
        EXPECT_EQ(decoded->height(), c.expectedHeight);
        EXPECT_EQ(decoded->bands(), 3);
        EXPECT_EQ(decoded->format(), VIPS_FORMAT_UCHAR);
    }
}

// Cameras put a small preview in the EXIF block; a gallery picture made from it would be blurred
// or, when the preview is stale, show another picture altogether.
TEST(DecodeScaled, NeverUsesTheEmbeddedPreview) {
    TemporaryFolder folder;
    const fs::path preview = folder / "preview.jpg";
    const fs::path photo = folder / "photo.jpg";
    solid(160, 120, blue).jpegsave(preview.c_str());
    solid(1600, 1200, red).jpegsave(photo.c_str());
    ASSERT_TRUE(run("exiftool -q -overwrite_original '-ThumbnailImage<=" + preview.string() + "' " + shellQuoted(photo)));
    ASSERT_NE(capture("exiftool -b -ThumbnailImage " + shellQuoted(photo) + " | wc -c"), "0\n");
    const std::optional<ImageSource> source = ImageSource::open(photo);
    ASSERT_TRUE(source);
    for (const int side : {80, 160, 400}) {
        const std::optional<Picture> decoded = decodeScaled(*source, side);
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(near(pixel(*decoded, decoded->width() / 2, decoded->height() / 2), red, 20));
    }
}

// Every picture extension the folder scan accepts, in a file of that format made here.
TEST(DecodeScaled, EveryScannedPictureFormatDecodes) {
    TemporaryFolder folder;
    const Picture picture = withRectangle(solid(120, 80, red), 60, 0, 60, 80, blue);
    for (const std::string extension : {"jpg", "jpeg", "png", "gif", "webp", "tif", "tiff", "bmp", "heic", "heif"}) {
        SCOPED_TRACE(extension);
        const fs::path file = folder / ("picture." + extension);
        // libvips picks the saver from the suffix; BMP goes through ImageMagick and HEIF through libheif.
        picture.write_to_file(file.c_str());
        const std::optional<ImageSource> source = ImageSource::open(file);
        ASSERT_TRUE(source) << "cannot open";
        EXPECT_EQ(source->frameCount(), 1);
        EXPECT_EQ(orientedPixelSize(*source), (PixelSize{120, 80}));
        const std::optional<Picture> decoded = decodeScaled(*source, 60);
        ASSERT_TRUE(decoded) << "cannot decode";
        EXPECT_EQ(decoded->width(), 60);
        EXPECT_EQ(decoded->height(), 40);
        EXPECT_GE(decoded->bands(), 3);  // GIF always decodes with an alpha band
        EXPECT_TRUE(near(pixel(*decoded, 10, 20), red, 45)) << describe(pixel(*decoded, 10, 20));
        EXPECT_TRUE(near(pixel(*decoded, 50, 20), blue, 45)) << describe(pixel(*decoded, 50, 20));
    }
}

TEST(DecodeScaled, AnimatedPicturesReportTheirFramesAndDecodeTheFirst) {
    TemporaryFolder folder;
    Picture frames = Picture::arrayjoin({solid(40, 30, red), solid(40, 30, green), solid(40, 30, blue)},
                                              Picture::option()->set("across", 1))
                               .copy();
    frames.set("page-height", 30);
    frames.set("delay", std::vector<int>{100, 100, 100});
    frames.set("loop", 0);
    for (const std::string extension : {"gif", "webp"}) {
        SCOPED_TRACE(extension);
        const fs::path file = folder / ("animated." + extension);
        frames.write_to_file(file.c_str());
        const std::optional<ImageSource> source = ImageSource::open(file);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->frameCount(), 3);
        EXPECT_EQ(orientedPixelSize(*source), (PixelSize{40, 30}));
        const std::optional<Picture> decoded = decodeScaled(*source, 100);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width(), 40);
        EXPECT_EQ(decoded->height(), 30);
        EXPECT_TRUE(near(pixel(*decoded, 20, 15), red, 40)) << describe(pixel(*decoded, 20, 15));
    }
}

// Grey, 16-bit, CMYK, transparent and profile-tagged sources all come out as 8-bit sRGB with the
// colours a viewer shows.
TEST(DecodeScaled, OtherColourSpacesBecomeSRGB) {
    TemporaryFolder folder;
    const Picture colour = solid(32, 32, {200, 30, 30});

    const fs::path grey = folder / "grey.png";
    solid(32, 32, {90, 90, 90}).colourspace(VIPS_INTERPRETATION_B_W).pngsave(grey.c_str());
    const fs::path deep = folder / "deep.png";
    colour.colourspace(VIPS_INTERPRETATION_RGB16).pngsave(deep.c_str());
    const fs::path cmyk = folder / "cmyk.jpg";
    colour.icc_export(Picture::option()->set("output_profile", "cmyk")).jpegsave(cmyk.c_str());
    // The same colour stored in the Display P3 space: its numbers differ, what it shows does not.
    const fs::path wide = folder / "p3.png";
    colour.icc_export(Picture::option()->set("output_profile", "p3")).pngsave(wide.c_str());
    ASSERT_FALSE(near(pixel(Picture::new_from_file(wide.c_str()), 4, 4), {200, 30, 30}, 10));
    const fs::path alpha = folder / "alpha.png";
    colour.bandjoin_const({128}).copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).pngsave(alpha.c_str());

    struct Case {
        fs::path file;
        int bands;
        Colour expected;
        int tolerance;
    };
    const Case cases[] = {
        {grey, 3, {90, 90, 90}, 2},
        {deep, 3, {200, 30, 30}, 2},
        {cmyk, 3, {200, 30, 30}, 30},
        {wide, 3, {200, 30, 30}, 8},
        {alpha, 4, {200, 30, 30}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const std::optional<ImageSource> source = ImageSource::open(c.file);
        ASSERT_TRUE(source);
        const std::optional<Picture> decoded = decodeScaled(*source, 16);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->interpretation(), VIPS_INTERPRETATION_sRGB);
        EXPECT_EQ(decoded->format(), VIPS_FORMAT_UCHAR);
        EXPECT_EQ(decoded->bands(), c.bands);
        EXPECT_TRUE(near(pixel(*decoded, 8, 8), c.expected, c.tolerance)) << describe(pixel(*decoded, 8, 8));
    }
}

TEST(DecodeScaled, FilesThatAreNoPicturesGiveNothing) {
    TemporaryFolder folder;
    std::ofstream(folder / "text.jpg") << "This is a note, not a photo.\n";
    // ImageMagick would render this (calling out to Ghostscript); only real BMP files go to it.
    std::ofstream(folder / "script.bmp") << "%!PS\n/Helvetica findfont 20 scalefont setfont 10 10 moveto (hi) show showpage\n";
    // A vector drawing under a picture's name is not one of the gallery's picture formats.
    std::ofstream(folder / "drawing.bmp")
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect width=\"10\" height=\"10\"/></svg>\n";
    std::ofstream(folder / "empty.png");
    for (const std::string name : {"missing.jpg", "text.jpg", "script.bmp", "drawing.bmp", "empty.png"}) {
        EXPECT_FALSE(ImageSource::open(folder / name)) << name;
    }
}

// A photo cut short (a copy that stopped half-way) still shows what it holds, as photo viewers do.
TEST(DecodeScaled, TruncatedJPEGShowsWhatItHolds) {
    TemporaryFolder folder;
    const fs::path whole = folder / "whole.jpg";
    withRectangle(solid(400, 400, red), 0, 200, 400, 200, blue).jpegsave(whole.c_str());
    const fs::path cut = folder / "cut.jpg";
    fs::copy_file(whole, cut);
    fs::resize_file(cut, fs::file_size(whole) / 3);
    const std::optional<ImageSource> source = ImageSource::open(cut);
    ASSERT_TRUE(source);
    const std::optional<Picture> decoded = decodeScaled(*source, 400);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(near(pixel(*decoded, 200, 20), red, 30));
}

class CancelInsideDecode : public ::testing::Test {
protected:
    void TearDown() override { detail::setWorkObserverForTesting({}); }
};

// The stop arrives while libvips is decoding (from its evaluation callback), not before the call.
TEST_F(CancelInsideDecode, StopDuringDecodeThrowsCancelled) {
    TemporaryFolder folder;
    const fs::path file = folder / "large.png";
    Picture::gaussnoise(3000, 3000).cast(VIPS_FORMAT_UCHAR).pngsave(file.c_str(), Picture::option()->set("compression", 1));
    const std::optional<ImageSource> source = ImageSource::open(file);
    ASSERT_TRUE(source);

    // How many evaluation steps a whole decode takes.
    std::atomic<int> wholeDecodeSteps{0};
    detail::setWorkObserverForTesting([&] { wholeDecodeSteps++; });
    ASSERT_TRUE(decodeScaled(*source, 1600));

    std::stop_source stopper;
    std::atomic<int> steps{0};
    detail::setWorkObserverForTesting([&] {
        if (steps++ == 0) stopper.request_stop();
    });
    EXPECT_THROW(decodeScaled(*source, 1600, stopper.get_token()), lf::Cancelled);
    EXPECT_GE(steps.load(), 1) << "the stop must come from inside the decode";
    // Only the steps already under way finish; the decode does not run to its end.
    EXPECT_LT(steps.load(), wholeDecodeSteps.load());

    // A stopped decode leaves nothing behind: the next one of the same file succeeds.
    detail::setWorkObserverForTesting({});
    const std::optional<Picture> decoded = decodeScaled(*source, 1600);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width(), 1600);
}

TEST_F(CancelInsideDecode, StopRequestedBeforehandThrowsCancelled) {
    TemporaryFolder folder;
    const fs::path file = folder / "small.jpg";
    solid(100, 100, green).jpegsave(file.c_str());
    const std::optional<ImageSource> source = ImageSource::open(file);
    ASSERT_TRUE(source);
    std::stop_source stopper;
    stopper.request_stop();
    EXPECT_THROW(decodeScaled(*source, 50, stopper.get_token()), lf::Cancelled);
}

}  // namespace
}  // namespace lf::media

// Display pictures: flattening onto white and the watermark's placement, read back from pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "media/bitmap.hpp"
#include "media/jpeg_writer.hpp"
#include "media/render_picture.hpp"
#include "media/watermark.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;

TEST(RenderPicture, TransparentPartsBecomeWhite) {
    // Left half opaque red, right half fully transparent (and black underneath).
    const Picture rgb = withRectangle(solid(80, 40, red), 40, 0, 40, 40, {0, 0, 0});
    const Picture alpha = withRectangle(solid(80, 40, white), 40, 0, 40, 40, {0, 0, 0})[0];
    const Picture transparent =
        rgb.bandjoin(alpha).copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    for (const std::string watermark : {"", "©"}) {
        const std::optional<Picture> rendered = renderPicture(transparent, watermark, 50);
        ASSERT_TRUE(rendered);
        EXPECT_EQ(rendered->bands(), 3);
        EXPECT_EQ(pixel(*rendered, 60, 5), white);
        EXPECT_EQ(pixel(*rendered, 10, 20), red);
    }
}

TEST(RenderPicture, WatermarkOfOnlyWhiteSpaceDrawsNothing) {
    const Picture grey = solid(300, 200, {128, 128, 128});
    for (const std::string watermark : {"", "   ", " \n\t \r\n", "\u2003"}) {
        const std::optional<Picture> rendered = renderPicture(grey, watermark, 100);
        ASSERT_TRUE(rendered);
        EXPECT_EQ((*rendered - grey).abs().max(), 0) << "watermark \"" << watermark << "\"";
    }
}

// The pixels the white text lit (brighter than the grey ground) and those the shadow darkened.
struct InkFound {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right and bottom exclusive
    int brightest = 0, darkest = 255;
};

InkFound findInk(const Picture& picture, int ground) {
    InkFound found;
    const Picture grey = picture[1].cast(VIPS_FORMAT_UCHAR).copy_memory();
    size_t size = 0;
    const auto* bytes = static_cast<const unsigned char*>(grey.data());
    (void)size;
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const int value = bytes[static_cast<size_t>(y) * grey.width() + x];
            found.brightest = std::max(found.brightest, value);
            found.darkest = std::min(found.darkest, value);
            // Edge pixels the outline only grazes barely change; a tenth of full cover counts.
            if (value > ground + 13) {
                found.left = std::min(found.left, x), found.top = std::min(found.top, y);
                found.right = std::max(found.right, x + 1), found.bottom = std::max(found.bottom, y + 1);
            }
        }
    }
    return found;
}

// The placement rule: the right edge of the glyphs s pixels from the right edge of the picture,
// their bottom s pixels above the bottom edge, s = max(min(width, height) × 0.045, 12).
TEST(Watermark, InkBoxLandsSPixelsFromTheRightAndBottomEdges) {
    struct Case {
        int width, height;
        std::string text;
        double s, d;
    };
    const Case cases[] = {
        {1600, 1067, "© Lanternfold", 48.015, 48.015 / 18},
        {1600, 1067, "Jasper Quigley", 48.015, 48.015 / 18},  // descenders set the bottom
        {200, 200, "ok", 12, 1},
        {900, 1400, "Tessa · 2024", 40.5, 2.25},
        // The star is not in the Helvetica face: it comes from a fallback font, and the rule
        // still places the whole line.
        {800, 600, "Ωμέγα ★ Été", 27, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.text);
        const std::optional<WatermarkLayout> layout = watermarkLayout(c.text, c.width, c.height);
        ASSERT_TRUE(layout);
        EXPECT_NEAR(layout->fontSize, c.s, 1e-9);
        EXPECT_NEAR(layout->shadowOffset, c.d, 1e-9);
        EXPECT_NEAR(layout->inkRight, c.width - c.s, 1e-6);
        EXPECT_NEAR(layout->inkBottom, c.height - c.s, 1e-6);

        const int ground = 128;
        const std::optional<Picture> rendered = renderPicture(solid(c.width, c.height, {ground, ground, ground}), c.text, 100);
        ASSERT_TRUE(rendered);
        const InkFound ink = findInk(*rendered, ground);
        ASSERT_GE(ink.right, 0) << "no text drawn";
        EXPECT_NEAR(ink.right, c.width - c.s, 1.0);
        EXPECT_NEAR(ink.bottom, c.height - c.s, 1.0);
        EXPECT_NEAR(ink.left, layout->inkLeft, 1.0);
        EXPECT_NEAR(ink.top, layout->inkTop, 1.0);
        // Opacity 100: the text is opaque white; the shadow is black at half opacity, so where it
        // fully covers the grey ground it halves it.
        // (At 12 pixels no stem is a whole pixel wide, so no pixel is fully covered.)
        if (c.s > 30) {
            EXPECT_EQ(ink.brightest, 255);
            EXPECT_NEAR(ink.darkest, ground / 2, 3);
        }
    }
}

TEST(Watermark, ShadowLiesRightOfAndBelowTheText) {
    const int width = 1600, height = 1067, ground = 128;
    const std::optional<Picture> rendered = renderPicture(solid(width, height, {ground, ground, ground}), "I", 100);
    ASSERT_TRUE(rendered);
    const InkFound ink = findInk(*rendered, ground);
    const int middle = (ink.top + ink.bottom) / 2;
    // Just right of the stem's right edge and just below its foot (the shadow is shifted right
    // too, so below the stem's right part) the shadow shows; left of the stem and above it the
    // ground is untouched.
    EXPECT_LT(pixel(*rendered, ink.right + 1, middle)[0], ground - 20);
    EXPECT_LT(pixel(*rendered, ink.right, ink.bottom + 1)[0], ground - 20);
    EXPECT_EQ(pixel(*rendered, ink.left - 2, middle)[0], ground);
    EXPECT_EQ(pixel(*rendered, (ink.left + ink.right) / 2, ink.top - 2)[0], ground);
}

TEST(Watermark, OpacityScalesTextAndShadow) {
    const int ground = 128;
    const std::optional<Picture> rendered = renderPicture(solid(1600, 1067, {ground, ground, ground}), "Lanternfold", 50);
    ASSERT_TRUE(rendered);
    const InkFound ink = findInk(*rendered, ground);
    EXPECT_NEAR(ink.brightest, ground + 0.5 * (255 - ground), 3);
    EXPECT_NEAR(ink.darkest, ground * (1 - 0.25), 3);
}

TEST(Watermark, SampleForTheEye) {
    Picture photo = solid(1600, 1067, {70, 110, 150});
    photo = withRectangle(photo, 0, 700, 1600, 367, {60, 90, 50});
    photo = withRectangle(photo, 1100, 820, 500, 247, {230, 230, 225});  // light ground under the text
    const std::optional<Picture> rendered = renderPicture(photo, "  © Jasper Quigley 2024\n", 70);
    ASSERT_TRUE(rendered);
    writeJPEG(*rendered, samplesFolder() / "watermark-1600x1067.jpg", 90);
    const std::optional<Picture> mixed = renderPicture(solid(600, 400, {90, 90, 90}), "Ωμέγα ★ Été", 100);
    ASSERT_TRUE(mixed);
    writeJPEG(*mixed, samplesFolder() / "watermark-other-scripts-600x400.jpg", 90);
}

}  // namespace
}  // namespace lf::media

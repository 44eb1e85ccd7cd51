#pragma once
// The text watermark in the lower right corner of a display picture.
#include <string>

#include "media/bitmap.hpp"

namespace lf::media {

// Where drawWatermark puts the text on a width × height picture, in pixels with the origin at the
// top left corner, y downwards: the glyphs' ink box and the text origin (on the baseline).
struct WatermarkLayout {
    double fontSize = 0;       // s
    double shadowOffset = 0;   // d
    double inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;
    double originX = 0, originY = 0;
};

// The layout of one line of text in "Helvetica" (found through fontconfig, unhinted) at the size
// max(min(width, height) × 0.045, 12): the right edge of the ink s pixels from the right edge of
// the picture, its bottom s pixels above the bottom edge. Nothing when no font can be found.
std::optional<WatermarkLayout> watermarkLayout(const std::string& text, int width, int height);

// Draws text as one line in the lower right corner of the bitmap: a black shadow at alpha
// opacity / 200 offset d = max(s / 18, 1) pixels right and down, then the text in white at alpha
// opacity / 100, placed as watermarkLayout says. Characters the font lacks come from another font.
void drawWatermark(const std::string& text, int opacity, Bitmap& bitmap, int width, int height);

}  // namespace lf::media

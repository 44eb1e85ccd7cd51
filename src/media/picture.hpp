#pragma once
// The picture type every media operation takes and returns, and the one-time start of libvips.
#include <vips/vips8>

namespace lf::media {

// A decoded picture held in memory: 8 bits per channel, sRGB, three bands, or four when the source
// format carries transparency (GIF always does; renderPicture, squareThumbnail and writeJPEG
// flatten it onto white). "Nothing" is spelled std::nullopt by the operations that can fail.
using Picture = vips::VImage;

// A width and height in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

// Starts libvips once per process; safe to call from any thread, any number of times. Every entry
// point of lf::media calls it, so callers never need to. Returns false when libvips could not
// start, in which case every operation gives nothing.
bool initialize();

}  // namespace lf::media

#pragma once
#include <filesystem>
#include <optional>

#include "media/picture.hpp"
#include "platform/long_work.hpp"

namespace lf::media {

// A still of the movie for its thumbnail: the frame shown at 1.0 s, or at the start when there is
// none at 1.0 s (a movie shorter than a second), upright (the track's display rotation applied),
// with square pixels, scaled down to fit within maxSide × maxSide. 3-band sRGB.
// Nothing when the movie has no decodable video; throws lf::Cancelled when stop is requested
// meanwhile (also in the middle of a read).
std::optional<Picture> posterFrame(const std::filesystem::path& movie, int maxSide, lf::StopToken stop = {});

}  // namespace lf::media

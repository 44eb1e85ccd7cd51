#pragma once
#include <optional>

#include "media/image_source.hpp"
#include "media/picture.hpp"
#include "platform/long_work.hpp"

namespace lf::media {

// Decodes frame 0 of the source, upright (its orientation applied) and in sRGB (an embedded colour
// profile converted), scaled down in the decoder itself so that the longer side is at most
// max(maxSide, 1); a picture already within that size keeps its size. Never decodes the small
// preview some files embed. The pixels are computed before it returns.
// Nothing when the file cannot be decoded; throws lf::Cancelled when stop is requested meanwhile.
std::optional<Picture> decodeScaled(const ImageSource& source, int maxSide, lf::StopToken stop = {});

}  // namespace lf::media

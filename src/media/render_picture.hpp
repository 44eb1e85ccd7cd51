#pragma once
#include <optional>
#include <string>

#include "media/picture.hpp"

namespace lf::media {

// The display picture: the picture laid onto opaque white (transparent parts become white) and,
// when watermark has text once white space and line breaks are trimmed from both ends, that text
// drawn by drawWatermark at opacity percent. Same size as the picture; 3-band sRGB.
// Nothing when the working bitmap cannot be made.
std::optional<Picture> renderPicture(const Picture& picture, const std::string& watermark, int opacity);

}  // namespace lf::media

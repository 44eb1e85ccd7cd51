#pragma once
#include <filesystem>

#include "media/picture.hpp"

namespace lf::media {

// Writes the picture as a JPEG at quality min(max(quality, 1), 100) percent, replacing any file at
// destination atomically (a temporary file in the same folder, then a rename). The file carries no
// metadata at all: no EXIF, GPS, XMP, IPTC or colour profile. Transparent parts become white.
// Throws ImageError::unwritable with the destination's file name when encoding or writing fails.
void writeJPEG(const Picture& picture, const std::filesystem::path& destination, int quality);

}  // namespace lf::media

#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "media/picture.hpp"

namespace lf::media {

// Writes the picture as a JPEG at quality min(max(quality, 1), 100) percent, replacing any file at
// destination atomically (a temporary file in the same folder, then a rename). The file carries no
// metadata at all: no EXIF, GPS, XMP, IPTC or colour profile. Transparent parts become white.
// Throws ImageError::unwritable with the destination's file name when encoding or writing fails.
// The same as encodeJPEG followed by writeEncodedJPEG.
void writeJPEG(const Picture& picture, const std::filesystem::path& destination, int quality);

// The bytes of the file writeJPEG would write, made in memory so that the encoding (most of the
// cost) can run apart from the writing. Throws ImageError::unwritable(name) when encoding fails;
// name is the file name the bytes are meant for.
std::string encodeJPEG(const Picture& picture, int quality, const std::string& name);

// Writes bytes made by encodeJPEG to destination atomically. Throws ImageError::unwritable with the
// destination's file name when writing fails.
void writeEncodedJPEG(std::string_view bytes, const std::filesystem::path& destination);

}  // namespace lf::media

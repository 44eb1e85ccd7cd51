#pragma once
// An opened picture file: its header has been read, its pixels have not been decoded.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "media/picture.hpp"

namespace lf::media {

class ImageSource {
public:
    // Opens the file once, finds its decoder from its first bytes and reads the header of frame 0.
    // Every later decode of this source reads through the same open file, so a picture is opened
    // once however often it is decoded. Nothing when the file is missing, unreadable, or not a
    // picture format the program decodes.
    static std::optional<ImageSource> open(const std::filesystem::path& file);

    const std::filesystem::path& path() const { return path_; }
    // Pixel width and height of frame 0 as stored, before the orientation is applied.
    int storedWidth() const { return width_; }
    int storedHeight() const { return height_; }
    // The EXIF orientation of frame 0, 1 to 8; 1 when the file records none.
    int orientation() const { return orientation_; }
    // The number of frames or pages ("n-pages"); 1 when the file does not say.
    int frameCount() const { return frameCount_; }
    // Whether the file embeds a colour profile that decoding converts to sRGB.
    bool hasColourProfile() const { return hasColourProfile_; }
    // The libvips loader that reads the file, e.g. "VipsForeignLoadJpegSource".
    const std::string& loader() const { return loader_; }

    // A lazy image of frame 0 at full size, with the given load options (access, fail_on …).
    // Throws vips::VError. Copies of a source share the open file: decode one of them at a time.
    Picture load(vips::VOption* options) const;
    // The thumbnail operation on the file (shrink-on-load and orientation in one step), with the
    // given thumbnail options. Throws vips::VError.
    Picture thumbnail(int width, vips::VOption* options) const;

private:
    ImageSource() = default;

    std::filesystem::path path_;
    int width_ = 0;
    int height_ = 0;
    int orientation_ = 1;
    int frameCount_ = 1;
    bool hasColourProfile_ = false;
    std::string loader_;
    // The open file, for every format that libvips reads from a stream.
    std::shared_ptr<VipsSource> source_;
    // The whole file in memory, for BMP, which libvips reads only through ImageMagick and only
    // from a file name or a buffer.
    std::shared_ptr<VipsBlob> bytes_;
};

// The size of frame 0 once its orientation is applied: width and height swapped for the four
// orientations (5 to 8) that turn the picture by a quarter. Nothing when the size is unknown.
std::optional<PixelSize> orientedPixelSize(const ImageSource& source);

}  // namespace lf::media

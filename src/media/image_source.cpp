#include "media/image_source.hpp"

#include <fstream>

namespace lf::media {

namespace {

bool startsWithBMPSignature(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char signature[2] = {0, 0};
    in.read(signature, 2);
    return in.gcount() == 2 && signature[0] == 'B' && signature[1] == 'M';
}

// The decoders of the formats the folder scan offers. libvips can read many more (PDF, SVG, FITS,
// raw matrices …); a file of one of those under a picture's name is not a picture of the gallery.
bool isPictureLoader(const std::string& loader) {
    for (const char* prefix : {"VipsForeignLoadJpeg", "VipsForeignLoadPng", "VipsForeignLoadGif", "VipsForeignLoadNsgif",
                               "VipsForeignLoadWebp", "VipsForeignLoadTiff", "VipsForeignLoadHeif", "VipsForeignLoadMagick"}) {
        if (loader.starts_with(prefix)) return true;
    }
    return false;
}

int intField(const vips::VImage& image, const char* field, int fallback) {
    if (image.get_typeof(field) == 0) return fallback;
    try {
        return image.get_int(field);
    } catch (const vips::VError&) {
        return fallback;
    }
}

}  // namespace

std::optional<ImageSource> ImageSource::open(const std::filesystem::path& file) {
    if (!initialize()) return std::nullopt;
    const char* loader = vips_foreign_find_load(file.c_str());
    if (loader == nullptr) {
        vips_error_clear();
        return std::nullopt;
    }
    // libvips reads BMP through ImageMagick, which also understands scripts and vector formats
    // that call out to other programs. The folder scan only offers BMP to it, so anything else
    // that ImageMagick would claim (a PostScript or SVG file named .bmp, say) is refused.
    const std::string loaderName = loader;
    if (!isPictureLoader(loaderName)) return std::nullopt;
    if (loaderName.starts_with("VipsForeignLoadMagick") && !startsWithBMPSignature(file)) {
        return std::nullopt;
    }
    try {
        // Only the header is read here; pixels are decoded later by decodeScaled.
        const vips::VImage header = vips::VImage::new_from_file(
            file.c_str(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        ImageSource source;
        source.path_ = file;
        source.width_ = header.width();
        source.height_ = header.height();
        source.orientation_ = intField(header, VIPS_META_ORIENTATION, 1);
        if (source.orientation_ < 1 || source.orientation_ > 8) source.orientation_ = 1;
        source.frameCount_ = std::max(1, intField(header, VIPS_META_N_PAGES, 1));
        source.hasColourProfile_ = header.get_typeof(VIPS_META_ICC_NAME) != 0;
        source.loader_ = loaderName;
        return source;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<PixelSize> orientedPixelSize(const ImageSource& source) {
    if (source.storedWidth() <= 0 || source.storedHeight() <= 0) return std::nullopt;
    if (source.orientation() > 4) return PixelSize{source.storedHeight(), source.storedWidth()};
    return PixelSize{source.storedWidth(), source.storedHeight()};
}

}  // namespace lf::media

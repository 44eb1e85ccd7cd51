#include "media/image_source.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_descriptor.hpp"

namespace lf::media {

namespace {

using vips::VImage;

// The decoders of the formats the folder scan offers. libvips can read many more (PDF, SVG, FITS,
// raw matrices …); a file of one of those under a picture's name is not a picture of the gallery.
bool isPictureLoader(const std::string& loader) {
    for (const char* prefix : {"VipsForeignLoadJpeg", "VipsForeignLoadPng", "VipsForeignLoadGif", "VipsForeignLoadNsgif",
                               "VipsForeignLoadWebp", "VipsForeignLoadTiff", "VipsForeignLoadHeif"}) {
        if (loader.starts_with(prefix)) return true;
    }
    return false;
}

bool startsWithBMPSignature(VipsSource* source) {
    const unsigned char* head = vips_source_sniff(source, 2);
    return head != nullptr && head[0] == 'B' && head[1] == 'M';
}

int intField(const VImage& image, const char* field, int fallback) {
    if (image.get_typeof(field) == 0) return fallback;
    try {
        return image.get_int(field);
    } catch (const vips::VError&) {
        return fallback;
    }
}

struct SourceUnref {
    void operator()(VipsSource* source) const { g_object_unref(source); }
};

struct BlobUnref {
    void operator()(VipsBlob* blob) const { vips_area_unref(VIPS_AREA(blob)); }
};

// vips::VSource takes over a reference; this one stays with the ImageSource.
vips::VSource wrapped(VipsSource* source) { return vips::VSource(source, vips::NOSTEAL); }

constexpr const char* magickLoader = "VipsForeignLoadMagickBuffer";

}  // namespace

std::optional<ImageSource> ImageSource::open(const std::filesystem::path& file) {
    if (!initialize()) return std::nullopt;
    ImageSource source;
    source.path_ = file;
    {
        const platform::FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        if (!descriptor.isOpen()) return std::nullopt;
        // libvips reads through its own duplicate of the descriptor and closes that when done.
        VipsSource* opened = vips_source_new_from_descriptor(descriptor.get());
        if (opened == nullptr) {
            vips_error_clear();
            return std::nullopt;
        }
        source.source_.reset(opened, SourceUnref{});
    }

    // The loader is found from the first bytes, read once into the source's own buffer; libvips's
    // search by file name would open the file again for each format it tries.
    if (const char* found = vips_foreign_find_load_source(source.source_.get())) {
        source.loader_ = found;
    } else {
        vips_error_clear();
    }
    if (!isPictureLoader(source.loader_)) {
        // libvips reads BMP through ImageMagick, which also understands scripts and vector formats
        // that call out to other programs. The folder scan only offers BMP to it, so only a file
        // that starts like one goes there.
        if (!startsWithBMPSignature(source.source_.get())) return std::nullopt;
        VipsBlob* bytes = vips_source_map_blob(source.source_.get());
        if (bytes == nullptr) {
            vips_error_clear();
            return std::nullopt;
        }
        source.bytes_.reset(bytes, BlobUnref{});
        source.source_.reset();
        source.loader_ = magickLoader;
    }

    try {
        // Only the header is read here; pixels are decoded later by decodeScaled.
        const VImage header = source.load(VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        source.width_ = header.width();
        source.height_ = header.height();
        source.orientation_ = intField(header, VIPS_META_ORIENTATION, 1);
        if (source.orientation_ < 1 || source.orientation_ > 8) source.orientation_ = 1;
        source.frameCount_ = std::max(1, intField(header, VIPS_META_N_PAGES, 1));
        source.hasColourProfile_ = header.get_typeof(VIPS_META_ICC_NAME) != 0;
        return source;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

Picture ImageSource::load(vips::VOption* options) const {
    if (bytes_) return VImage::magickload_buffer(bytes_.get(), options);
    return VImage::new_from_source(wrapped(source_.get()), "", options);
}

Picture ImageSource::thumbnail(int width, vips::VOption* options) const {
    if (bytes_) return VImage::thumbnail_buffer(bytes_.get(), width, options);
    return VImage::thumbnail_source(wrapped(source_.get()), width, options);
}

std::optional<PixelSize> orientedPixelSize(const ImageSource& source) {
    if (source.storedWidth() <= 0 || source.storedHeight() <= 0) return std::nullopt;
    if (source.orientation() > 4) return PixelSize{source.storedHeight(), source.storedWidth()};
    return PixelSize{source.storedWidth(), source.storedHeight()};
}

}  // namespace lf::media

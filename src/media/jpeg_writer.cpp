#include "media/jpeg_writer.hpp"

#include <algorithm>
#include <memory>

#include "media/image_error.hpp"
#include "media/vips_work.hpp"
#include "platform/files.hpp"

namespace lf::media {

namespace {

struct BlobDeleter {
    void operator()(VipsBlob* blob) const { vips_area_unref(VIPS_AREA(blob)); }
};

}  // namespace

std::string encodeJPEG(const Picture& picture, int quality, const std::string& name) {
    if (!initialize()) throw ImageError::unwritable(name);
    const int q = std::clamp(quality, 1, 100);
    std::unique_ptr<VipsBlob, BlobDeleter> blob;
    try {
        // The pixels are 8-bit sRGB, so the file needs no profile; strip drops every other
        // metadata block the source brought along (camera data, location, captions).
        const Picture flat = vips_work::flattenedOnWhite(picture);
        blob.reset(flat.jpegsave_buffer(
            (vips::VImage::option()->set("Q", q)->set("strip", true)->set("optimize_coding", true))));
    } catch (const vips::VError&) {
        vips_error_clear();
        throw ImageError::unwritable(name);
    }
    size_t size = 0;
    const void* data = vips_blob_get(blob.get(), &size);
    if (data == nullptr || size == 0) throw ImageError::unwritable(name);
    return std::string(static_cast<const char*>(data), size);
}

void writeEncodedJPEG(std::string_view bytes, const std::filesystem::path& destination) {
    try {
        lf::platform::writeFileAtomically(destination, bytes);
    } catch (const lf::platform::FileError& error) {
        // A full or read-only disk is something the user can mend, so the system's reason is kept.
        throw ImageError::unwritable(destination.filename().string(), error.reason());
    }
}

void writeJPEG(const Picture& picture, const std::filesystem::path& destination, int quality) {
    writeEncodedJPEG(encodeJPEG(picture, quality, destination.filename().string()), destination);
}

}  // namespace lf::media

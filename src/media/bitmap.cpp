#include "media/bitmap.hpp"

#include <bit>
#include <cstring>

#include "media/vips_work.hpp"

namespace lf::media {

namespace {

// cairo stores an RGB24 pixel as one native-endian 32-bit word 0x00RRGGBB, so the byte order in
// memory depends on the machine.
constexpr bool littleEndian = std::endian::native == std::endian::little;

}  // namespace

std::optional<Bitmap> Bitmap::create(int width, int height) {
    if (width <= 0 || height <= 0) return std::nullopt;
    Bitmap bitmap;
    bitmap.surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(bitmap.surface_.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    bitmap.width_ = width;
    bitmap.height_ = height;
    return bitmap;
}

std::optional<Bitmap> Bitmap::fromPicture(const Picture& picture) {
    if (!initialize()) return std::nullopt;
    try {
        const Picture rgb = vips_work::flattenedOnWhite(picture);
        const Picture padded = littleEndian ? Picture::bandjoin({rgb[2], rgb[1], rgb[0]}).bandjoin_const({255})
                                            : Picture::bandjoin({rgb.bandjoin_const({255})[3], rgb});
        std::optional<Bitmap> bitmap = create(padded.width(), padded.height());
        if (!bitmap) return std::nullopt;
        size_t size = 0;
        std::unique_ptr<void, decltype(&g_free)> bytes(padded.write_to_memory(&size), &g_free);
        cairo_surface_t* surface = bitmap->surface();
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const size_t rowBytes = static_cast<size_t>(bitmap->width()) * 4;
        if (data == nullptr || size != rowBytes * static_cast<size_t>(bitmap->height())) return std::nullopt;
        for (int y = 0; y < bitmap->height(); ++y) {
            std::memcpy(data + static_cast<size_t>(y) * stride, static_cast<const unsigned char*>(bytes.get()) + y * rowBytes,
                        rowBytes);
        }
        cairo_surface_mark_dirty(surface);
        return bitmap;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

void Bitmap::fill(double red, double green, double blue) {
    CairoContext cr(cairo_create(surface()));
    cairo_set_source_rgb(cr.get(), red, green, blue);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
}

std::optional<Picture> Bitmap::toPicture() const {
    if (!initialize()) return std::nullopt;
    cairo_surface_t* surface = this->surface();
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    if (data == nullptr) return std::nullopt;
    try {
        // The rows are padded to cairo's stride; view them as a stride/4 wide image and crop.
        const Picture words = Picture::new_from_memory(const_cast<unsigned char*>(data),
                                                       static_cast<size_t>(stride) * height_, stride / 4, height_, 4,
                                                       VIPS_FORMAT_UCHAR)
                                  .crop(0, 0, width_, height_);
        const Picture rgb = littleEndian ? Picture::bandjoin({words[2], words[1], words[0]}) : words.extract_band(1, Picture::option()->set("n", 3));
        return rgb.copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory();
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<CairoContext> lowerLeftContext(const Bitmap& bitmap) {
    CairoContext cr(cairo_create(bitmap.surface()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    cairo_translate(cr.get(), 0, bitmap.height());
    cairo_scale(cr.get(), 1, -1);
    return cr;
}

}  // namespace lf::media

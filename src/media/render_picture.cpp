#include "media/render_picture.hpp"

#include "media/bitmap.hpp"
#include "media/vips_work.hpp"
#include "media/watermark.hpp"
#include "platform/text.hpp"

namespace lf::media {

std::optional<Picture> renderPicture(const Picture& picture, const std::string& watermark, int opacity) {
    if (!initialize()) return std::nullopt;
    const std::string text = lf::text::trimmed(watermark);
    if (text.empty()) {
        // Without a watermark the flattened picture is the result; no trip through cairo.
        try {
            return vips_work::flattenedOnWhite(picture).copy_memory();
        } catch (const vips::VError&) {
            vips_error_clear();
            return std::nullopt;
        }
    }
    std::optional<Bitmap> bitmap = Bitmap::fromPicture(picture);
    if (!bitmap) return std::nullopt;
    drawWatermark(text, opacity, *bitmap, bitmap->width(), bitmap->height());
    return bitmap->toPicture();
}

}  // namespace lf::media

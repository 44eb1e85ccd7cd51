#include "media/thumbnails.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "media/bitmap.hpp"
#include "media/decode_scaled.hpp"
#include "media/vips_work.hpp"

namespace lf::media {

namespace {

using vips::VImage;

// The scaled picture must cover the square; rounding inside libvips can leave it a pixel short.
VImage coveringAtLeast(const VImage& image, int width, int height) {
    if (image.width() >= width && image.height() >= height) return image;
    return image.embed(0, 0, std::max(width, image.width()), std::max(height, image.height()),
                       VImage::option()->set("extend", VIPS_EXTEND_COPY));
}

// Symbol geometry for a square of side size, in lower-left coordinates, y upwards.
struct SymbolGeometry {
    double c, r;
    explicit SymbolGeometry(int size) : c(size * 0.5), r(size * 0.15) {}
};

void fillDisc(cairo_t* cr, const SymbolGeometry& g) {
    cairo_set_source_rgba(cr, 0, 0, 0, 0.47);
    cairo_new_path(cr);
    cairo_arc(cr, g.c, g.c, 1.7 * g.r, 0, 2 * std::numbers::pi);
    cairo_fill(cr);
}

void fillPlayTriangle(cairo_t* cr, const SymbolGeometry& g) {
    const double c = g.c, r = g.r;
    cairo_new_path(cr);
    cairo_move_to(cr, c - 0.55 * r, c - r);
    cairo_line_to(cr, c - 0.55 * r, c + r);
    cairo_line_to(cr, c + r, c);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void drawSpeaker(cairo_t* cr, const SymbolGeometry& g) {
    const double c = g.c, r = g.r;
    // The box and the cone touch along one edge; filled as one path, that edge shows no seam.
    cairo_new_path(cr);
    cairo_rectangle(cr, c - r, c - 0.35 * r, 0.45 * r, 0.7 * r);
    cairo_move_to(cr, c - 0.55 * r, c - 0.35 * r);
    cairo_line_to(cr, c + 0.05 * r, c - 0.9 * r);
    cairo_line_to(cr, c + 0.05 * r, c + 0.9 * r);
    cairo_line_to(cr, c - 0.55 * r, c + 0.35 * r);
    cairo_close_path(cr);
    cairo_fill(cr);

    // Two sound waves opening to the right, from −45° to +45° through 0°.
    const double quarter = std::numbers::pi / 4;
    cairo_new_path(cr);
    cairo_arc(cr, c + 0.05 * r, c, 0.55 * r, -quarter, quarter);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c + 0.05 * r, c, 0.95 * r, -quarter, quarter);
    cairo_set_line_width(cr, std::max(0.13 * r, 2.0));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

}  // namespace

std::optional<Picture> squareThumbnail(const Picture& picture, int size) {
    if (size < 1 || !initialize()) return std::nullopt;
    try {
        const VImage flat = vips_work::flattenedOnWhite(picture);
        const int width = flat.width(), height = flat.height();
        if (width < 1 || height < 1) return std::nullopt;
        // The shorter side becomes exactly size; the longer one keeps the aspect ratio.
        const double k = static_cast<double>(size) / std::min(width, height);
        const int scaledWidth = width <= height ? size : std::max(size, static_cast<int>(std::lround(width * k)));
        const int scaledHeight = height < width ? size : std::max(size, static_cast<int>(std::lround(height * k)));
        const VImage scaled = coveringAtLeast(
            flat.resize(static_cast<double>(scaledWidth) / width,
                        VImage::option()
                            ->set("vscale", static_cast<double>(scaledHeight) / height)
                            ->set("kernel", VIPS_KERNEL_LANCZOS3)),
            size, size);
        // Centred across; along a portrait picture 40 % of the excess goes at the top, 60 % at the
        // bottom, which keeps faces in the upper part of the frame in view.
        const int left = static_cast<int>(std::lround((scaled.width() - size) * 0.5));
        const int top = static_cast<int>(std::lround((scaled.height() - size) * 0.4));
        return scaled.crop(std::clamp(left, 0, scaled.width() - size), std::clamp(top, 0, scaled.height() - size), size, size)
            .copy_memory();
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<Picture> pictureThumbnail(const ImageSource& source, int size, lf::StopToken stop) {
    lf::throwIfStopped(stop);
    if (size < 1) return std::nullopt;
    int decodeSide = size * 3;
    if (const std::optional<PixelSize> oriented = orientedPixelSize(source)) {
        const int shorter = std::min(oriented->width, oriented->height);
        const int longer = std::max(oriented->width, oriented->height);
        if (shorter > 0) {
            const double side = std::ceil(static_cast<double>(longer) * size / shorter);
            decodeSide = static_cast<int>(std::min(side, 1e9));
        }
    }
    const std::optional<Picture> decoded = decodeScaled(source, decodeSide, stop);
    if (!decoded) return std::nullopt;
    return squareThumbnail(*decoded, size);
}

std::optional<Picture> mediaThumbnail(lf::model::MediaKind kind, const std::optional<Picture>& poster, int size) {
    if (size < 1) return std::nullopt;
    std::optional<Picture> square;
    if (poster) square = squareThumbnail(*poster, size);
    std::optional<Bitmap> bitmap = square ? Bitmap::fromPicture(*square) : Bitmap::create(size, size);
    if (!bitmap) return std::nullopt;
    if (!square) bitmap->fill(46 / 255.0, 50 / 255.0, 58 / 255.0);

    std::optional<CairoContext> cr = lowerLeftContext(*bitmap);
    if (!cr) return std::nullopt;
    const SymbolGeometry geometry(size);
    cairo_set_fill_rule(cr->get(), CAIRO_FILL_RULE_WINDING);
    fillDisc(cr->get(), geometry);
    cairo_set_source_rgba(cr->get(), 1, 1, 1, 0.92);
    if (kind == lf::model::MediaKind::video) {
        fillPlayTriangle(cr->get(), geometry);
    } else {
        drawSpeaker(cr->get(), geometry);
    }
    cr->reset();
    return bitmap->toPicture();
}

}  // namespace lf::media

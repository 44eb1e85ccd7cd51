#pragma once
// The working bitmap that cairo draws into: opaque 8-bit RGB (cairo's RGB24, four bytes a pixel,
// the fourth unused), converted to and from pictures.
#include <cairo.h>

#include <memory>
#include <optional>

#include "media/picture.hpp"

namespace lf::media {

class Bitmap {
public:
    // A width × height bitmap, black. Nothing when it cannot be created.
    static std::optional<Bitmap> create(int width, int height);
    // A bitmap holding the picture, its transparent parts laid onto white. Nothing on failure.
    static std::optional<Bitmap> fromPicture(const Picture& picture);

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_surface_t* surface() const { return surface_.get(); }

    // Fills the whole bitmap with one opaque colour, components 0 to 1.
    void fill(double red, double green, double blue);

    // The bitmap's contents as a 3-band sRGB picture in memory. Nothing on failure.
    std::optional<Picture> toPicture() const;

private:
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    };
    Bitmap() = default;

    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface_;
    int width_ = 0;
    int height_ = 0;
};

// A cairo drawing context that lives as long as its unique_ptr.
struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoContext = std::unique_ptr<cairo_t, CairoDeleter>;

// A context on the bitmap whose user space has its origin at the lower left corner, y upwards,
// one unit a pixel. Nothing when cairo cannot make one.
std::optional<CairoContext> lowerLeftContext(const Bitmap& bitmap);

}  // namespace lf::media

#include "media/decode_scaled.hpp"

#include <algorithm>

#include "media/vips_work.hpp"

namespace lf::media {

namespace {

using vips::VImage;

// A damaged file still gives what can be decoded of it (the rest grey), as photo viewers do;
// files that cannot be decoded at all fail at their header.
constexpr VipsFailOn failOn = VIPS_FAIL_ON_NONE;

enum class Profile { convert, ignore };

vips::VOption* thumbnailOptions(int side, Profile profile) {
    vips::VOption* options = VImage::option()
                                 ->set("height", side)
                                 ->set("size", VIPS_SIZE_DOWN)
                                 ->set("fail_on", failOn);
    // Only a picture that brings its own profile is converted: an untagged picture is taken to be
    // sRGB already, and sending it through a profile transform would shift its colours.
    if (profile == Profile::convert) {
        options->set("export_profile", "srgb")->set("intent", VIPS_INTENT_RELATIVE);
    }
    return options;
}

// The lazy pipeline that decodes and shrinks in one step.
VImage scaledPipeline(const ImageSource& source, int side, Profile profile) {
    const std::string& loader = source.loader();
    if (loader.starts_with("VipsForeignLoadHeif") || loader.starts_with("VipsForeignLoadTiff")) {
        // For these formats the thumbnail operation would take the file's embedded thumbnail
        // (HEIF) or a lower level of a pyramid (TIFF) when it is large enough. Neither format
        // can shrink while decoding, so loading the main image of frame 0 costs nothing extra.
        const VImage full = source.load(VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", failOn));
        return full.thumbnail_image(side, thumbnailOptions(side, profile));
    }
    // JPEG shrinks by whole factors in the DCT, WebP decodes at a reduced scale; the rest decode
    // line by line into the resampler. thumbnail also applies the EXIF orientation.
    return source.thumbnail(side, thumbnailOptions(side, profile));
}

// libvips rounds its sizes; a picture one pixel over the bound is brought within it.
VImage withinBound(const VImage& image, int side) {
    const int longer = std::max(image.width(), image.height());
    if (longer <= side) return image;
    return image.thumbnail_image(side, VImage::option()->set("height", side)->set("size", VIPS_SIZE_DOWN));
}

}  // namespace

std::optional<Picture> decodeScaled(const ImageSource& source, int maxSide, lf::StopToken stop) {
    lf::throwIfStopped(stop);
    if (!initialize()) return std::nullopt;
    const int side = std::max(maxSide, 1);
    try {
        VImage pipeline;
        try {
            pipeline = scaledPipeline(source, side, source.hasColourProfile() ? Profile::convert : Profile::ignore);
        } catch (const vips::VError&) {
            // A broken embedded profile should not cost the picture: decode without converting.
            if (!source.hasColourProfile()) throw;
            vips_error_clear();
            pipeline = scaledPipeline(source, side, Profile::ignore);
        }
        return vips_work::evaluate(withinBound(vips_work::asSRGB8(pipeline), side), stop);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

}  // namespace lf::media

#include "media/vips_work.hpp"

#include "media/work_observer.hpp"

namespace lf::media::vips_work {

namespace {

struct EvalWatch {
    const lf::StopToken* stop = nullptr;
};

// Runs on the evaluating thread at every step of the pipeline. Killing the image makes libvips
// abandon the computation with an error, which evaluate() turns into lf::Cancelled.
void onEval(VipsImage* image, VipsProgress*, gpointer data) {
    detail::noteWorkStep();
    const auto* watch = static_cast<const EvalWatch*>(data);
    if (watch->stop->stop_requested()) vips_image_set_kill(image, TRUE);
}

}  // namespace

Picture evaluate(const Picture& pipeline, const lf::StopToken& stop) {
    lf::throwIfStopped(stop);
    VipsImage* image = pipeline.get_image();
    EvalWatch watch{&stop};
    vips_image_set_progress(image, TRUE);
    const gulong handler = g_signal_connect(image, "eval", G_CALLBACK(onEval), &watch);
    // A stop requested from another thread also kills the image directly, so that work between
    // two eval signals (one large tile of a slow decoder) ends as soon as it can.
    std::stop_callback killer(stop, [image] { vips_image_set_kill(image, TRUE); });
    struct Disconnect {
        VipsImage* image;
        gulong handler;
        ~Disconnect() {
            g_signal_handler_disconnect(image, handler);
            vips_image_set_progress(image, FALSE);
        }
    } disconnect{image, handler};
    try {
        Picture result = pipeline.copy_memory();
        lf::throwIfStopped(stop);
        return result;
    } catch (const vips::VError&) {
        vips_error_clear();
        lf::throwIfStopped(stop);
        throw;
    }
}

Picture asSRGB8(const Picture& picture) {
    Picture image = picture;
    // One or two bands labelled as colour are grey (with alpha); say so, so colourspace() widens them.
    if (image.bands() < 3 && image.interpretation() == VIPS_INTERPRETATION_sRGB) {
        image = image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    }
    // colourspace() handles grey, 16-bit, CMYK and Lab sources and keeps an alpha band.
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB) image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 4) image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    if (image.bands() < 3) image = Picture::bandjoin({image[0], image[0], image[0]});
    return image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

Picture flattenedOnWhite(const Picture& picture) {
    Picture image = asSRGB8(picture);
    if (image.bands() == 4) {
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255, 255, 255}));
        if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    }
    return image;
}

}  // namespace lf::media::vips_work

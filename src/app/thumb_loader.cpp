// The media headers bring in GLib, whose headers use "signals" as a name; they come before any Qt
// header, which defines "signals" as a keyword.
#include "media/decode_scaled.hpp"
#include "media/image_source.hpp"
#include "media/poster_frame.hpp"

#include "app/thumb_loader.hpp"

#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <limits>
#include <memory>

namespace lf::app {

namespace {

// A decoded picture (8 bits a channel, sRGB) copied into a QImage that owns its pixels.
std::optional<QImage> toQImage(const media::Picture& picture) {
    QImage::Format format;
    switch (picture.bands()) {
        case 1: format = QImage::Format_Grayscale8; break;
        case 3: format = QImage::Format_RGB888; break;
        case 4: format = QImage::Format_RGBA8888; break;
        default: return std::nullopt;
    }
    if (picture.format() != VIPS_FORMAT_UCHAR || picture.width() < 1 || picture.height() < 1) return std::nullopt;
    size_t size = 0;
    void* raw = nullptr;
    try {
        raw = picture.write_to_memory(&size);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
    const std::unique_ptr<void, decltype(&g_free)> bytes(raw, &g_free);
    const qsizetype stride = qsizetype(picture.width()) * picture.bands();
    if (!bytes || size < size_t(stride) * size_t(picture.height())) return std::nullopt;
    // The QImage made over the buffer only borrows it; copy() gives one that owns its pixels.
    QImage image = QImage(static_cast<const uchar*>(bytes.get()), picture.width(), picture.height(), stride, format).copy();
    if (image.isNull()) return std::nullopt;
    return image;
}

}  // namespace

ThumbLoader& ThumbLoader::shared() {
    static ThumbLoader* const loader = new ThumbLoader();  // lives as long as the program
    return *loader;
}

ThumbLoader::ThumbLoader(Decoder decoder, int capacity, QObject* parent)
    : QObject(parent), decoder_(decoder ? std::move(decoder) : Decoder(&ThumbLoader::decodeItem)) {
    cache_.setMaxCost(capacity);
    pool_.setThreadPriority(QThread::LowPriority);
}

ThumbLoader::~ThumbLoader() {
    // Decodes still queued are dropped; running ones finish and find the loader gone.
    pool_.clear();
    pool_.waitForDone();
}

QString ThumbLoader::cacheKey(const model::Item& item, int pixels) {
    using namespace std::chrono;
    const auto since1970 = item.modified.time_since_epoch();
    const double seconds = since1970.count() == 0 ? 0.0 : duration<double>(since1970).count();
    return QString::fromStdString(item.url.string()) + u'#' + QString::number(pixels) + u'#' +
           QString::number(seconds, 'f', 6);
}

std::optional<QImage> ThumbLoader::cached(const model::Item& item, int pixels) {
    if (item.kind == model::MediaKind::audio) return std::nullopt;
    if (const QImage* image = cache_.object(cacheKey(item, pixels))) return *image;
    return std::nullopt;
}

void ThumbLoader::request(const model::Item& item, int pixels, QObject* context,
                          std::function<void(std::optional<QImage>)> done) {
    // A sound has no picture of its own; its placeholder is drawn by the view.
    if (item.kind == model::MediaKind::audio) {
        done(std::nullopt);
        return;
    }
    const QString key = cacheKey(item, pixels);
    if (const QImage* image = cache_.object(key)) {
        done(*image);
        return;
    }
    // The pool thread gets its own copies; nothing of the loader is touched there. The result comes
    // back by a queued call to the loader, on the main thread; a result arriving after the asking
    // view has gone is still cached, only the callback is skipped.
    QPointer<QObject> asker(context);
    const bool hadContext = context != nullptr;
    // The loader outlives every decode (its destructor waits for them), so the worker may hold it.
    auto work = [self = this, decoder = decoder_, item, pixels, key, asker, hadContext, done = std::move(done)]() mutable {
        std::optional<QImage> image;
        try {
            image = decoder(item, pixels);
        } catch (...) {
            // A decoder that throws has simply produced nothing; the view shows its placeholder.
            image.reset();
        }
        QMetaObject::invokeMethod(
            self,
            [self, key, image = std::move(image), asker, hadContext, done = std::move(done)]() mutable {
                self->finished(key, std::move(image), asker, hadContext, done);
            },
            Qt::QueuedConnection);
    };
    // Newer requests get a higher priority; the counter wraps long before it could overflow.
    sequence_ = sequence_ == std::numeric_limits<int>::max() ? 0 : sequence_ + 1;
    pool_.start(std::move(work), sequence_);
}

void ThumbLoader::finished(const QString& key, std::optional<QImage> image, QPointer<QObject> asker, bool hadContext,
                           const std::function<void(std::optional<QImage>)>& done) {
    if (image && !image->isNull()) {
        image->setDevicePixelRatio(1.0);
        cache_.insert(key, new QImage(*image), 1);
        emit imageReady(key);
    } else {
        image.reset();
    }
    if (hadContext && !asker) return;
    done(std::move(image));
}

std::optional<QImage> ThumbLoader::decodeItem(const model::Item& item, int pixels) {
    switch (item.kind) {
        case model::MediaKind::audio:
            return std::nullopt;
        case model::MediaKind::video: {
            const auto poster = media::posterFrame(item.url, pixels);
            if (!poster) return std::nullopt;
            return toQImage(*poster);
        }
        case model::MediaKind::image: {
            const auto source = media::ImageSource::open(item.url);
            if (!source) return std::nullopt;
            const auto picture = media::decodeScaled(*source, pixels);
            if (!picture) return std::nullopt;
            return toQImage(*picture);
        }
    }
    return std::nullopt;
}

}  // namespace lf::app

#pragma once
// The in-memory picture cache behind the item list's thumbnails and the preview's large picture.
// Decoding happens on the thread pool with the media code the gallery build uses (shrink-on-load,
// orientation applied, never a full-size decode); finished pictures come back to the main thread
// as QImage and are kept under a key made of the file's path, the pixel size and the file's
// modification time, so a file replaced on disk gets a new key and is decoded afresh.
#include <QCache>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <optional>

#include "model/item.hpp"

namespace lf::app {

class ThumbLoader : public QObject {
    Q_OBJECT
public:
    // The pictures kept at most; the cache drops the least recently used beyond it.
    static constexpr int defaultCapacity = 600;

    // Turns one item into a picture whose longer side is at most the given pixels, or nothing.
    // Runs on a pool thread, so it must only touch its arguments.
    using Decoder = std::function<std::optional<QImage>(const model::Item& item, int pixels)>;

    // The application's one loader, made on first use on the main thread.
    static ThumbLoader& shared();

    // decoder defaults to the media code (posterFrame for movies, decodeScaled for pictures);
    // tests give their own to watch what reaches the decoder.
    explicit ThumbLoader(Decoder decoder = {}, int capacity = defaultCapacity, QObject* parent = nullptr);
    ~ThumbLoader() override;

    // path + "#" + pixels + "#" + modification time in seconds since 1970. The time is the one the
    // folder scan read for the item (a reload reads it again), so building a key never touches the
    // disk on the main thread.
    static QString cacheKey(const model::Item& item, int pixels);

    // The cached picture for the item at that size; nothing when it is not cached or the item is
    // a sound. Never starts work.
    std::optional<QImage> cached(const model::Item& item, int pixels);

    // Asks for the item's picture at that size. A cached picture or a sound's "nothing" is handed
    // to done at once; otherwise the decode runs on the thread pool and done is called later on
    // the main thread, unless context has gone meanwhile. Nothing (a failure) is never cached, so
    // a later request tries again. Two requests for one key both decode; the later result simply
    // replaces the cached one.
    void request(const model::Item& item, int pixels, QObject* context,
                 std::function<void(std::optional<QImage>)> done);

    int count() const { return cache_.count(); }
    int capacity() const { return cache_.maxCost(); }
    // Empties the cache (tests, and memory pressure).
    void clear() { cache_.clear(); }

    // What the default decoder does, for callers that want it without a loader.
    static std::optional<QImage> decodeItem(const model::Item& item, int pixels);

signals:
    // A decode finished and its picture is now cached under key.
    void imageReady(const QString& key);

private:
    void finished(const QString& key, std::optional<QImage> image, QPointer<QObject> asker, bool hadContext,
                  const std::function<void(std::optional<QImage>)>& done);

    Decoder decoder_;
    QCache<QString, QImage> cache_;
    // Decoding has a pool of its own at low thread priority, so that a folder of thousands of
    // pictures never takes the processor from the window; the newest request runs first, since it
    // is the one on screen.
    QThreadPool pool_;
    int sequence_ = 0;
};

}  // namespace lf::app

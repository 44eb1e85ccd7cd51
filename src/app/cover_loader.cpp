#include "app/cover_loader.hpp"

#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include "platform/http_client.hpp"

namespace lf::app {

CoverLoader& CoverLoader::shared() {
    static CoverLoader* const loader = new CoverLoader();  // lives as long as the program
    return *loader;
}

CoverLoader::CoverLoader(Fetcher fetcher, QObject* parent)
    : QObject(parent), fetcher_(fetcher ? std::move(fetcher) : Fetcher(&CoverLoader::fetch)) {
    cache_.setMaxCost(200);
}

std::optional<QByteArray> CoverLoader::fetch(const QString& url) {
    try {
        platform::HttpRequest request;
        request.url = url.toStdString();
        request.timeout = std::chrono::seconds(20);
        request.followRedirects = true;
        const platform::HttpResponse response = platform::HttpClient().send(request);
        if (response.status != 200) return std::nullopt;
        return QByteArray::fromStdString(response.body);
    } catch (...) {
        // No connection, a time-out, a refused certificate: the row keeps its placeholder.
        return std::nullopt;
    }
}

void CoverLoader::request(const QString& url, int maxSide, QObject* context,
                          std::function<void(std::optional<QImage>)> done) {
    const QString key = url + u'#' + QString::number(maxSide);
    if (url.isEmpty()) {
        done(std::nullopt);
        return;
    }
    if (const QImage* image = cache_.object(key)) {
        done(*image);
        return;
    }
    auto work = QtConcurrent::run(QThreadPool::globalInstance(), [fetcher = fetcher_, url, maxSide]() -> std::optional<QImage> {
        const std::optional<QByteArray> bytes = fetcher(url);
        if (!bytes) return std::nullopt;
        QImage image = QImage::fromData(*bytes);
        if (image.isNull()) return std::nullopt;
        if (image.width() > maxSide || image.height() > maxSide) {
            image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        return image;
    });
    QPointer<QObject> asker(context);
    const bool hadContext = context != nullptr;
    work.then(this, [this, key, asker, hadContext, done = std::move(done)](std::optional<QImage> image) {
        if (image) cache_.insert(key, new QImage(*image), 1);
        if (hadContext && !asker) return;
        done(std::move(image));
    });
}

}  // namespace lf::app

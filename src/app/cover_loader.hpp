#pragma once
// The small cover pictures of the Home Page window's gallery rows, fetched over HTTPS on the thread
// pool and kept in memory by address, so that reopening the window or refreshing the list does not
// fetch them again. A cover that cannot be fetched or decoded is not kept: the row shows its
// placeholder and the next showing tries again.
#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace lf::app {

class CoverLoader : public QObject {
    Q_OBJECT
public:
    // Fetches the bytes at an address; nothing on any failure. Runs on a pool thread.
    using Fetcher = std::function<std::optional<QByteArray>(const QString& url)>;

    static CoverLoader& shared();
    explicit CoverLoader(Fetcher fetcher = {}, QObject* parent = nullptr);

    // The cover at url, no larger than maxSide pixels on its longer side, handed to done on the main
    // thread (at once when cached); nothing when it could not be fetched or decoded. done is
    // skipped when context has gone meanwhile.
    void request(const QString& url, int maxSide, QObject* context, std::function<void(std::optional<QImage>)> done);

    // The standard fetch: GET with a 20-second time-out, following redirects; a reply other than
    // 200 is a failure.
    static std::optional<QByteArray> fetch(const QString& url);

private:
    Fetcher fetcher_;
    QCache<QString, QImage> cache_;
};

}  // namespace lf::app

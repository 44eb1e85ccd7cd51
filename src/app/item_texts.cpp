#include "app/item_texts.hpp"

#include <QDateTime>

#include <chrono>

#include "builder/html.hpp"

namespace lf::app {

QString kindWord(model::MediaKind kind) {
    switch (kind) {
        case model::MediaKind::image: return QStringLiteral("Picture");
        case model::MediaKind::video: return QStringLiteral("Movie");
        case model::MediaKind::audio: return QStringLiteral("Sound");
    }
    return {};
}

QString itemSubtitle(const QString& caption, model::MediaKind kind) {
    // The same first-line rule as the gallery pages, so the list shows what the page will show.
    if (caption.isEmpty()) return kindWord(kind);
    return QString::fromStdString(builder::firstLine(caption.toStdString()));
}

QString itemInformation(const model::Item& item, const QLocale& locale) {
    QString lead;
    if (item.dateIsExif) {
        const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(item.date.time_since_epoch()).count();
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
        lead = QStringLiteral("Taken ") + locale.toString(when.date(), QLocale::LongFormat) + u' ' +
               locale.toString(when.time(), QLocale::ShortFormat);
    } else {
        lead = kindWord(item.kind);
    }
    return lead + QStringLiteral(" \u00B7 ") + QString::fromStdString(item.fileName());
}

QString emptyPreviewText(const std::optional<model::Project>& project) {
    if (project && project->items.empty()) return QStringLiteral("No pictures, movies or sounds in this folder.");
    return QStringLiteral("Select an item to see it here.");
}

}  // namespace lf::app

namespace lf::app {

QString addressWithoutScheme(const QString& url) {
    static const QString scheme = QStringLiteral("https://");
    return url.startsWith(scheme) ? url.mid(scheme.size()) : url;
}

}  // namespace lf::app

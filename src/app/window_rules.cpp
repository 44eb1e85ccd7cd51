#include "app/window_rules.hpp"

#include "app/project_store.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::app {

namespace {

QString folderName(const model::Project& project) {
    return QString::fromStdString(project.folder.filename().string());
}

}  // namespace

QString windowTitle(const std::optional<model::Project>& project) {
    return project ? folderName(*project) : QStringLiteral("Lanternfold");
}

QString itemCountText(const std::optional<model::Project>& project) {
    // The count has no singular form, the same as in the status line after opening.
    return project ? QString::number(project->items.size()) + QStringLiteral(" items") : QString();
}

QString perPageLabel(int perPage) {
    if (perPage == 0) return QStringLiteral("All thumbnails on one page");
    return QString::number(perPage) + QStringLiteral(" thumbnails per page");
}

QString thumbSizeLabel(int thumbSize) { return QStringLiteral("Thumbnails: ") + QString::number(thumbSize) + QStringLiteral(" px"); }

QString imageSizeLabel(int imageSize) {
    return QStringLiteral("Pictures: ") + QString::number(imageSize) + QStringLiteral(" px on the longest side");
}

QString qualityLabel(int quality) { return QStringLiteral("JPEG quality: ") + QString::number(quality); }

QString opacityLabel(int watermarkOpacity) {
    return QStringLiteral("Opacity: ") + QString::number(watermarkOpacity) + QStringLiteral("%");
}

bool opacityEnabled(const model::GallerySettings& settings) {
    const auto first = settings.watermark.find_first_not_of(" \t");
    return first != std::string::npos;
}

bool reverseEnabled(const model::GallerySettings& settings) { return settings.sort != "manual"; }

std::string typedSiteName(const QString& typed) { return typed.toLower().toStdString(); }

QString willAppearAt(const std::string& siteName, const std::string& typedDomain) {
    const std::string domain = publish::cloudflare::normalizedDomain(typedDomain);
    if (domain.empty()) return {};
    return QString::fromStdString(siteName + "." + domain);
}

std::optional<QUrl> publishedAddress(const std::string& lastURL) {
    if (lastURL.empty()) return std::nullopt;
    const QUrl url(QString::fromStdString(lastURL), QUrl::StrictMode);
    // A link needs somewhere to go: a scheme and a host, as every published address has.
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) return std::nullopt;
    return url;
}

bool canCopyAddress(const std::string& lastURL) { return !lastURL.empty(); }

bool projectOpen(const ProjectStore& store) { return store.project().has_value(); }

bool canStartBuild(const ProjectStore& store) { return store.project().has_value() && !store.isBuilding(); }

bool canStopBuild(const ProjectStore& store) { return store.isBuilding(); }

bool canMoveSelection(const ProjectStore& store) { return store.selection().has_value(); }

bool showsBuildProgress(const ProjectStore& store) { return store.isBuilding(); }

bool showsSpinner(const ProjectStore& store) {
    return !store.isBuilding() && (store.isOpening() || store.isReadingDetails());
}

bool showsReadingDetails(const ProjectStore& store) { return store.isReadingDetails() && !store.isBuilding(); }

std::optional<std::filesystem::path> droppedLocation(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            return std::filesystem::path(url.toLocalFile().toStdString());
        }
    }
    return std::nullopt;
}

const std::vector<Choice>& templateChoices() {
    static const std::vector<Choice> choices{
        {QStringLiteral("Classic"), "classic"}, {QStringLiteral("Dark"), "dark"}, {QStringLiteral("Minimal"), "minimal"}};
    return choices;
}

const std::vector<Choice>& languageChoices() {
    static const std::vector<Choice> choices{{QStringLiteral("English"), "en"},
                                             {QStringLiteral("Français"), "fr"},
                                             {QStringLiteral("Deutsch"), "de"},
                                             {QStringLiteral("Italiano"), "it"},
                                             {QStringLiteral("Nederlands"), "nl"}};
    return choices;
}

const std::vector<Choice>& sortChoices() {
    static const std::vector<Choice> choices{
        {QStringLiteral("Name"), "name"}, {QStringLiteral("Date taken"), "date"}, {QStringLiteral("My own order"), "manual"}};
    return choices;
}

}  // namespace lf::app

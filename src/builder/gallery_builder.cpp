#include "builder/gallery_builder.hpp"

#include <algorithm>
#include <set>

#include "builder/build_error.hpp"
#include "builder/build_steps.hpp"
#include "builder/page_writer.hpp"
#include "builder/slugs.hpp"
#include "media/media.hpp"
#include "model/photo_details.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"

namespace lf::builder {

namespace {

// The source's extension in lower case, without the dot.
std::string lowerExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    return text::lowerASCII(extension);
}

bool allRecordedFilesExist(const BuiltEntry& entry, const fs::path& output) {
    for (const std::string& file : entry.files) {
        std::error_code code;
        if (!fs::exists(output / file, code)) return false;
    }
    return true;
}

BuildManifest readOldManifest(const fs::path& output) {
    auto bytes = platform::readFileIfPossible(output / BuildManifest::fileName);
    if (!bytes) return {};
    return BuildManifest::decode(*bytes).value_or(BuildManifest{});
}

}  // namespace

BuiltEntry GalleryBuilder::processItem(const model::Item& item, const model::GallerySettings& settings,
                                       const fs::path& output, const std::string& sig,
                                       const std::optional<BuiltEntry>& old, const StopToken& stop) {
    const std::string fileName = item.fileName();
    const std::array<int64_t, 2> stamp = fileStamp(item.url);
    if (old && old->stamp == stamp && old->sig == sig && old->source == BuildManifest::storable(fileName) &&
        allRecordedFilesExist(*old, output)) {
        return *old;
    }

    // Each media call below takes the stop token; one that gave nothing because the build was stopped
    // while it ran is a stop, not a broken picture, hence the check after each of them. That also
    // keeps a placeholder square made from an interrupted poster from being recorded as finished.
    const std::string extension = lowerExtension(item.url);
    const std::string thumb = "thumbs/" + item.slug + ".jpg";
    const int thumbSide = 2 * settings.thumbSize;

    BuiltEntry entry;
    entry.source = fileName;
    entry.stamp = stamp;
    entry.sig = sig;
    entry.kind = item.kind;
    entry.files.push_back(thumb);

    if (item.kind == model::MediaKind::video || item.kind == model::MediaKind::audio) {
        const std::string copied = "media/" + item.slug + "." + extension;
        copyReplacing(item.url, output / copied);
        std::optional<media::Picture> picture;
        if (item.kind == model::MediaKind::audio) {
            picture = media::mediaThumbnail(model::MediaKind::audio, std::nullopt, thumbSide);
        } else {
            const std::optional<media::Picture> poster = media::posterFrame(item.url, 1200, stop);
            throwIfStopped(stop);
            picture = media::mediaThumbnail(model::MediaKind::video, poster, thumbSide);
        }
        if (!picture) throw media::ImageError::unwritable(thumb);
        media::writeJPEG(*picture, output / thumb, 82);
        entry.display = copied;
        entry.files.push_back(copied);
        return entry;
    }

    const std::optional<media::ImageSource> source = media::ImageSource::open(item.url);
    if (!source) throw media::ImageError::unreadable(fileName);

    std::optional<media::Picture> square;
    if (source->frameCount() >= 2 && (extension == "gif" || extension == "webp")) {
        // Animations are shown as they are; re-encoding would keep only their first frame.
        entry.display = "images/" + item.slug + "." + extension;
        copyReplacing(item.url, output / entry.display);
        if (const auto size = media::orientedPixelSize(*source)) {
            entry.w = size->width;
            entry.h = size->height;
        }
    } else {
        const std::optional<media::Picture> picture = media::decodeScaled(*source, settings.imageSize, stop);
        throwIfStopped(stop);
        if (!picture) throw media::ImageError::unreadable(fileName);
        const std::optional<media::Picture> rendered =
            media::renderPicture(*picture, settings.watermark, settings.watermarkOpacity);
        if (!rendered) throw media::ImageError::unreadable(fileName);
        entry.display = "images/" + item.slug + ".jpg";
        media::writeJPEG(*rendered, output / entry.display, settings.quality);
        entry.w = rendered->width();
        entry.h = rendered->height();
        // Decoding the source is most of an item's cost. When the decoded display picture is at
        // least as large as the square on its shorter side, the square is cropped from it with the
        // same rule instead of decoding the file a second time; otherwise the square is decoded
        // from the source at the size it needs. It is taken from the decoded picture, never from
        // the rendered one, so the watermark cannot reach it.
        if (std::min(picture->width(), picture->height()) >= thumbSide) {
            square = media::squareThumbnail(*picture, thumbSide);
        }
    }

    if (!square) {
        square = media::pictureThumbnail(*source, thumbSide, stop);
        throwIfStopped(stop);
    }
    if (!square) throw media::ImageError::unreadable(fileName);
    media::writeJPEG(*square, output / thumb, 78);
    entry.files.push_back(entry.display);

    if (settings.allowDownload) {
        const std::string original = "originals/" + item.slug + "." + extension;
        copyReplacing(item.url, output / original);
        entry.files.push_back(original);
        entry.original = original;
    }
    return entry;
}

fs::path GalleryBuilder::build(model::Project project, const std::optional<std::string>& homeURL,
                               const Progress& progress, const StopToken& stop) {
    project.settings.normalize();
    const model::GallerySettings& settings = project.settings;
    const fs::path output = project.outputFolder();

    if (picturesFolderAtRisk(project.folder, output)) throw BuildError::sameFolder();
    if (project.items.empty()) throw BuildError::empty();

    assignSlugs(project.items);

    for (const char* folder : managedFolders) {
        std::error_code code;
        fs::create_directories(output / folder, code);
        if (code) throw platform::FileError("Couldn’t create the folder", output / folder, code);
    }

    const BuildManifest old = readOldManifest(output);
    const std::string sig = settingsSignature(settings);
    const int count = static_cast<int>(project.items.size());

    BuiltEntries entries;
    std::set<std::string> keep;
    bool anyDetailsLoaded = false;
    for (int index = 0; index < count; ++index) {
        throwIfStopped(stop);
        model::Item& item = project.items[static_cast<size_t>(index)];
        if (!item.metadataLoaded) {
            model::applyPhotoDetails(item, model::readPhotoDetails(item.url));
            anyDetailsLoaded = true;
        }
        report(progress, index, count + 1, "Preparing " + item.fileName());

        std::optional<BuiltEntry> previous;
        if (auto found = old.items.find(item.slug); found != old.items.end()) previous = found->second;
        BuiltEntry entry;
        try {
            entry = processItem(item, settings, output, sig, previous, stop);
        } catch (const Cancelled&) {
            throw;
        } catch (const std::exception& error) {
            throw BuildError::item(item.fileName(), error.what());
        }
        keep.insert(entry.files.begin(), entry.files.end());
        entries[item.slug] = std::move(entry);
    }

    // Dates taken learnt during this build can change a by-date order.
    if (anyDetailsLoaded && settings.sort == "date") project.sortItems();

    report(progress, count, count + 1, "Writing pages");
    bool pagesChanged = false;
    const std::vector<std::string> pages =
        writePages(project, project.items, entries, output, homeURL, std::chrono::system_clock::now(), &pagesChanged);
    keep.insert(pages.begin(), pages.end());

    const std::optional<std::string> oldCover = platform::readFileIfPossible(output / "cover.jpg");
    writeCover(project.items, settings.coverName, output);
    // The manifest's time changes only with the gallery: an item, a page or the cover.
    const bool siteChanged = pagesChanged || entries != old.items ||
                             platform::readFileIfPossible(output / "cover.jpg") != oldCover;
    writeGalleryManifest(project, count, output, siteChanged ? home::SiteChange::changed : home::SiteChange::unchanged);
    removeStaleFiles(output, keep);

    BuildManifest manifest;
    manifest.items = std::move(entries);
    platform::writeFileAtomically(output / BuildManifest::fileName, manifest.encoded(),
                                  platform::Durability::flushToDisk);

    report(progress, count + 1, count + 1, "Done");
    return output / "index.html";
}

}  // namespace lf::builder

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
#include "platform/ordered_workers.hpp"
#include "platform/text.hpp"

namespace lf::builder {

namespace {

// The source's extension in lower case, without the dot.
std::string lowerExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    return text::lowerASCII(extension);
}

// Whether every file the entry lists is still there and, when the time the build manifest was
// written is known, unchanged since: a build that was stopped or failed after rewriting an item's
// files leaves the previous manifest in place, and that manifest must not vouch for files made
// afterwards with other settings.
bool recordedFilesStillThere(const BuiltEntry& entry, const fs::path& output,
                             const std::optional<fs::file_time_type>& recordedAt) {
    for (const std::string& file : entry.files) {
        std::error_code code;
        const fs::file_time_type modified = fs::last_write_time(output / file, code);
        if (code) return false;
        if (recordedAt && modified > *recordedAt) return false;
    }
    return true;
}

// The old build manifest and when it was written; no entries when it is missing or damaged.
struct OldManifest {
    BuildManifest manifest;
    std::optional<fs::file_time_type> written;
};

OldManifest readOldManifest(const fs::path& output) {
    const fs::path file = output / BuildManifest::fileName;
    std::error_code code;
    const fs::file_time_type written = fs::last_write_time(file, code);
    auto bytes = platform::readFileIfPossible(file);
    if (code || !bytes) return {};
    auto manifest = BuildManifest::decode(*bytes);
    if (!manifest) return {};
    return {std::move(*manifest), written};
}

}  // namespace

bool GalleryBuilder::canReuse(const BuiltEntry& old, const model::Item& item, const FileStamp& stamp,
                              const std::string& sig, const fs::path& output,
                              const std::optional<fs::file_time_type>& recordedAt) {
    return old.stamp == stamp && old.sig == sig && old.source == BuildManifest::storable(item.fileName()) &&
           recordedFilesStillThere(old, output, recordedAt);
}

RenderedItem GalleryBuilder::renderItem(const model::Item& item, const model::GallerySettings& settings,
                                        const FileStamp& stamp, const std::string& sig, const StopToken& stop) {
    // Each media call below takes the stop token; one that gave nothing because the build was stopped
    // while it ran is a stop, not a broken picture, hence the check after each of them. That also
    // keeps a placeholder square made from an interrupted poster from being recorded as finished.
    const std::string fileName = item.fileName();
    const std::string extension = lowerExtension(item.url);
    const std::string thumb = "thumbs/" + item.slug + ".jpg";
    const int thumbSide = 2 * settings.thumbSize;

    RenderedItem rendered;
    BuiltEntry& entry = rendered.entry;
    entry.source = fileName;
    entry.stamp = stamp;
    entry.sig = sig;
    entry.kind = item.kind;
    entry.files.push_back(thumb);

    if (item.kind == model::MediaKind::video || item.kind == model::MediaKind::audio) {
        const std::string copied = "media/" + item.slug + "." + extension;
        std::optional<media::Picture> picture;
        if (item.kind == model::MediaKind::audio) {
            picture = media::mediaThumbnail(model::MediaKind::audio, std::nullopt, thumbSide);
        } else {
            const std::optional<media::Picture> poster = media::posterFrame(item.url, 1200, stop);
            throwIfStopped(stop);
            picture = media::mediaThumbnail(model::MediaKind::video, poster, thumbSide);
        }
        if (!picture) throw media::ImageError::unwritable(thumb);
        entry.display = copied;
        entry.files.push_back(copied);
        rendered.files.push_back({copied, std::nullopt});
        rendered.files.push_back({thumb, media::encodeJPEG(*picture, 82, item.slug + ".jpg")});
        return rendered;
    }

    // One open of the file serves its header and every decode below.
    const std::optional<media::ImageSource> source = media::ImageSource::open(item.url);
    if (!source) throw media::ImageError::unreadable(fileName);

    std::optional<media::Picture> square;
    if (source->frameCount() >= 2 && (extension == "gif" || extension == "webp")) {
        // Animations are shown as they are; re-encoding would keep only their first frame.
        entry.display = "images/" + item.slug + "." + extension;
        rendered.files.push_back({entry.display, std::nullopt});
        if (const auto size = media::orientedPixelSize(*source)) {
            entry.w = size->width;
            entry.h = size->height;
        }
    } else {
        const std::optional<media::Picture> picture = media::decodeScaled(*source, settings.imageSize, stop);
        throwIfStopped(stop);
        if (!picture) throw media::ImageError::unreadable(fileName);
        const std::optional<media::Picture> display =
            media::renderPicture(*picture, settings.watermark, settings.watermarkOpacity);
        if (!display) throw media::ImageError::unreadable(fileName);
        entry.display = "images/" + item.slug + ".jpg";
        rendered.files.push_back({entry.display, media::encodeJPEG(*display, settings.quality, item.slug + ".jpg")});
        entry.w = display->width();
        entry.h = display->height();
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
    rendered.files.push_back({thumb, media::encodeJPEG(*square, 78, item.slug + ".jpg")});
    entry.files.push_back(entry.display);

    if (settings.allowDownload) {
        const std::string original = "originals/" + item.slug + "." + extension;
        rendered.files.push_back({original, std::nullopt});
        entry.files.push_back(original);
        entry.original = original;
    }
    return rendered;
}

BuiltEntry GalleryBuilder::writeItem(const RenderedItem& rendered, const model::Item& item, const fs::path& output) {
    for (const ItemFile& file : rendered.files) {
        if (file.jpeg) {
            media::writeEncodedJPEG(*file.jpeg, output / file.path);
        } else {
            copyReplacing(item.url, output / file.path);
        }
    }
    return rendered.entry;
}

BuiltEntry GalleryBuilder::processItem(const model::Item& item, const model::GallerySettings& settings,
                                       const fs::path& output, const std::string& sig,
                                       const std::optional<BuiltEntry>& old, const StopToken& stop) {
    const FileStamp stamp = fileStamp(item.url);
    if (old && canReuse(*old, item, stamp, sig, output)) return *old;
    return writeItem(renderItem(item, settings, stamp, sig, stop), item, output);
}

namespace {

// What a worker hands back for one item: the photo details it read, and either the old entry that
// still holds or the item's files made in memory.
struct PreparedItem {
    std::optional<model::PhotoDetails> details;
    std::optional<BuiltEntry> reused;
    RenderedItem rendered;
};

// How many items may be made ahead of the one being written, per worker: enough to keep every
// worker busy while one slow item (a long movie) is written, few enough that the encoded files
// waiting in memory stay a few megabytes and a failure or stop wastes little work.
constexpr int itemsAheadPerWorker = 2;

}  // namespace

fs::path GalleryBuilder::build(model::Project project, const std::optional<std::string>& homeURL,
                               const Progress& progress, const StopToken& stop, int workers) {
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

    const OldManifest old = readOldManifest(output);
    const std::string sig = settingsSignature(settings);
    const int count = static_cast<int>(project.items.size());

    // The workers read, decide and render; this thread applies, writes and records, in item
    // order. Each worker gets its share of the cores for its decodes.
    const int cores = platform::usableCores();
    const int threads = std::clamp(workers > 0 ? workers : cores, 1, count);
    const media::DecodeThreadsLimit decodeThreads(std::max(cores / threads, 1));
    const std::vector<model::Item> items = project.items;  // the workers' own copy
    platform::OrderedWorkers<PreparedItem> making(
        count, threads, threads * itemsAheadPerWorker, [&](int index, const StopToken& abandon) {
            const model::Item& item = items[static_cast<size_t>(index)];
            PreparedItem prepared;
            if (!item.metadataLoaded) prepared.details = model::readPhotoDetails(item.url);
            const FileStamp stamp = fileStamp(item.url);
            if (auto found = old.manifest.items.find(item.slug); found != old.manifest.items.end() &&
                                                                canReuse(found->second, item, stamp, sig, output, old.written)) {
                prepared.reused = found->second;
            } else {
                prepared.rendered = renderItem(item, settings, stamp, sig, abandon);
            }
            return prepared;
        });

    BuiltEntries entries;
    std::set<std::string> keep;
    bool anyDetailsLoaded = false;
    for (int index = 0; index < count; ++index) {
        throwIfStopped(stop);
        model::Item& item = project.items[static_cast<size_t>(index)];
        report(progress, index, count + 1, "Preparing " + item.fileName());

        BuiltEntry entry;
        try {
            PreparedItem prepared = making.take(stop);
            if (prepared.details) {
                model::applyPhotoDetails(item, *prepared.details);
                anyDetailsLoaded = true;
            }
            // A stop while this item was being made ends the build before its files are written.
            throwIfStopped(stop);
            entry = prepared.reused ? std::move(*prepared.reused) : writeItem(prepared.rendered, item, output);
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
    const bool siteChanged = pagesChanged || entries != old.manifest.items ||
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

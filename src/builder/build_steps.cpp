#include "builder/build_steps.hpp"

#include <sys/stat.h>

#include <chrono>

#include "builder/page_writer.hpp"
#include "home/gallery_manifest.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"

namespace lf::builder {

namespace {

// Removes a file or a link, never a folder: a folder inside a managed folder was not made by the
// build, and fs::remove would take an empty one away.
void removeUnlessFolder(const fs::path& path) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(path, code);
    if (code || !fs::exists(status) || fs::is_directory(status)) return;
    fs::remove(path, code);
}

// The names in a folder, listed in full before anything is removed; empty when it cannot be listed.
std::vector<std::string> entryNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code code;
    fs::directory_iterator entry(folder, code);
    for (; !code && entry != fs::directory_iterator(); entry.increment(code)) {
        names.push_back(entry->path().filename().string());
    }
    return names;
}

// True when inner is outer or lies below it, compared component by component.
bool isSameOrInside(const fs::path& inner, const fs::path& outer) {
    auto innerPart = inner.begin();
    for (auto outerPart = outer.begin(); outerPart != outer.end(); ++outerPart, ++innerPart) {
        if (outerPart->empty()) continue;  // a trailing separator
        if (innerPart == inner.end() || *innerPart != *outerPart) return false;
    }
    return true;
}

bool atRisk(const fs::path& pictures, const fs::path& output) {
    if (pictures == output) return true;
    for (const char* folder : managedFolders) {
        if (isSameOrInside(pictures, output / folder)) return true;
    }
    return false;
}

// The same question with links resolved as far as the paths exist, each managed folder on its own,
// since any of them may itself be a link into the pictures folder.
bool atRiskThroughLinks(const fs::path& pictures, const fs::path& output) {
    std::error_code code;
    const fs::path realPictures = platform::standardized(fs::weakly_canonical(pictures, code));
    if (code) return false;
    const fs::path realOutput = platform::standardized(fs::weakly_canonical(output, code));
    if (!code && realPictures == realOutput) return true;
    for (const char* folder : managedFolders) {
        const fs::path realFolder = platform::standardized(fs::weakly_canonical(output / folder, code));
        if (!code && isSameOrInside(realPictures, realFolder)) return true;
    }
    return false;
}

}  // namespace

std::string settingsSignature(const model::GallerySettings& settings) {
    return std::to_string(settings.thumbSize) + "|" + std::to_string(settings.imageSize) + "|" +
           std::to_string(settings.quality) + "|" + text::trimmed(settings.watermark) + "|" +
           std::to_string(settings.watermarkOpacity) + "|" + (settings.allowDownload ? "true" : "false") +
           "|mac1";
}

FileStamp fileStamp(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return {0, 0};
    // Whole nanoseconds divided down truncate toward zero, also for times before 1970.
    const int64_t nanoseconds = static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return {nanoseconds / 1'000'000, static_cast<int64_t>(info.st_size)};
}

void copyReplacing(const fs::path& from, const fs::path& to) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(to, code);
    if (!code && fs::exists(status)) {
        fs::remove(to, code);
        if (code) throw platform::FileError("Couldn’t remove", to, code);
    }
    fs::copy_file(from, to, code);
    if (code) throw platform::FileError("Couldn’t copy", from, code);
}

bool picturesFolderAtRisk(const fs::path& pictures, const fs::path& output) {
    std::error_code code;
    const fs::path writtenPictures = platform::standardized(fs::absolute(pictures, code));
    const fs::path writtenOutput = platform::standardized(fs::absolute(output, code));
    return atRisk(writtenPictures, writtenOutput) || atRiskThroughLinks(writtenPictures, writtenOutput);
}

void writeCover(const std::vector<model::Item>& items, const std::string& coverName, const fs::path& output) {
    if (items.empty()) return;
    const model::Item* cover = nullptr;
    if (!coverName.empty()) {
        for (const model::Item& item : items) {
            if (item.fileName() == coverName) {
                cover = &item;
                break;
            }
        }
    }
    if (!cover) {
        for (const model::Item& item : items) {
            if (item.kind == model::MediaKind::image) {
                cover = &item;
                break;
            }
        }
    }
    if (!cover) cover = &items.front();

    std::error_code code;
    const fs::path destination = output / "cover.jpg";
    removeUnlessFolder(destination);
    fs::copy_file(output / "thumbs" / (cover->slug + ".jpg"), destination, code);
}

void writeGalleryManifest(const model::Project& project, int count, const fs::path& output, home::SiteChange change) {
    home::GalleryManifest manifest;
    manifest.title = resolvedTitle(project);
    manifest.description = project.settings.galleryDescription;
    manifest.count = count;
    manifest.cover = "cover.jpg";
    manifest.updated = home::isoTimestamp(std::chrono::system_clock::now());
    if (project.settings.locked) manifest.locked = true;
    try {
        home::writeManifest(output, manifest, change);
    } catch (const std::exception&) {
        // A missing manifest only keeps the gallery off the home page until the next build; it is
        // not worth failing a finished build for.
    }
}

void removeStaleFiles(const fs::path& output, const std::set<std::string>& keep) {
    removeUnlessFolder(output / "kirrabo.js");
    removeUnlessFolder(output / "tessavane.js");

    std::error_code code;
    for (const char* folder : managedFolders) {
        const fs::path path = output / folder;
        // A managed folder that is a link points at files the build did not make there; leave them.
        const fs::file_status status = fs::symlink_status(path, code);
        if (code || !fs::is_directory(status)) continue;
        for (const std::string& name : entryNames(path)) {
            if (name.starts_with(".")) continue;
            if (keep.count(std::string(folder) + "/" + name) != 0) continue;
            removeUnlessFolder(path / name);
        }
    }

    for (const std::string& name : entryNames(output)) {
        if (name.starts_with("index-") && name.ends_with(".html") && keep.count(name) == 0) {
            removeUnlessFolder(output / name);
        }
    }
}

}  // namespace lf::builder

#include "model/project.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>
#include <system_error>
#include <unordered_map>

#include "platform/files.hpp"
#include "platform/json.hpp"
#include "platform/text.hpp"

namespace lf::model {

namespace fs = std::filesystem;

namespace {

// The project file is always written under the first name; the other two were written by earlier
// versions of the program and are still read, in this order.
constexpr std::array<const char*, 3> projectFileNames{"lanternfold.json", "tessavane.json", "kirrabo.json"};

// Names starting with a dot are the hidden entries of a Linux folder.
bool isHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

TimePoint timePointOf(const struct timespec& stamp) {
    const auto since = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
    return TimePoint(std::chrono::duration_cast<Clock::duration>(since));
}

// Reads a project file only when it is a regular file, so that a folder or a named pipe under one
// of the project file names counts as "cannot be read" instead of blocking or failing the load.
std::optional<std::string> readProjectFile(const fs::path& path) {
    std::error_code code;
    if (!fs::is_regular_file(path, code)) return std::nullopt;
    return platform::readFileIfPossible(path);
}

// A project file holds settings, a caption and a name per item: even a folder of a hundred
// thousand items with long captions stays far below this. A bigger file is not one this program
// wrote, and reading it whole could exhaust memory, so it counts as unusable.
constexpr std::uintmax_t maxProjectFileBytes = 64u * 1024 * 1024;

bool tooBigForProjectFile(const fs::path& path) {
    std::error_code code;
    const std::uintmax_t size = fs::file_size(path, code);
    return !code && size > maxProjectFileBytes;
}

// The decoded saved part of a project, or nothing when the file is unusable as a whole.
struct FileFormat {
    GallerySettings settings;
    std::map<std::string, std::string> captions;
    std::vector<std::string> order;
    std::string output;
};

// The settings object is read leniently key by key; everything around it is strict: a present key
// of the wrong type makes the whole file unusable.
std::optional<FileFormat> decodeFileFormat(std::string_view bytes) {
    auto parsed = json::parse(std::string(bytes));
    if (!parsed || !parsed->is_object()) return std::nullopt;
    const json::Json& root = *parsed;

    for (const char* key : {"app", "version", "output"}) {
        if (!json::isAbsent(root, key) && !root.at(key).is_string()) return std::nullopt;
    }
    auto settings = root.find("settings");
    if (settings == root.end() || !settings->is_object()) return std::nullopt;

    FileFormat file;
    file.settings = GallerySettings::fromJson(*settings);
    if (!json::isAbsent(root, "captions")) {
        const json::Json& captions = root.at("captions");
        if (!captions.is_object()) return std::nullopt;
        for (auto it = captions.begin(); it != captions.end(); ++it) {
            if (!it.value().is_string()) return std::nullopt;
            file.captions[it.key()] = it.value().get<std::string>();
        }
    }
    if (!json::isAbsent(root, "order")) {
        const json::Json& order = root.at("order");
        if (!order.is_array()) return std::nullopt;
        for (const json::Json& name : order) {
            if (!name.is_string()) return std::nullopt;
            file.order.push_back(name.get<std::string>());
        }
    }
    if (!json::isAbsent(root, "output")) file.output = root.at("output").get<std::string>();
    return file;
}

}  // namespace

Project::Project(const fs::path& folder) {
    // An absolute path first, so that "." or a relative path still gives the folder's real name as
    // the title and the default output folder a real parent.
    std::error_code code;
    fs::path absolute = fs::absolute(folder, code);
    if (code) absolute = folder;
    this->folder = platform::standardized(absolute);
    settings.title = this->folder.filename().string();
    loadProjectFile();
    reloadItems();
}

void Project::reloadItems() {
    std::unordered_map<std::string, const Item*> known;
    for (const Item& item : items) known.emplace(item.fileName(), &item);

    // The folder's own listing order is arbitrary; taking the names in byte order first makes the
    // result repeatable where the sort calls two names equal (they keep this order).
    std::vector<fs::path> entries;
    std::error_code code;
    fs::directory_iterator it(folder, fs::directory_options::none, code);
    if (!code) {
        for (const fs::directory_iterator end; it != end; it.increment(code)) {
            if (code) break;
            const fs::path path = it->path();
            if (isHidden(path.filename().string())) continue;
            entries.push_back(path);
        }
    }
    if (code) entries.clear();  // A listing that fails part-way is a failed listing.
    std::sort(entries.begin(), entries.end());

    std::vector<Item> fresh;
    fresh.reserve(entries.size());
    for (const fs::path& path : entries) {
        // The entry's own type: a symbolic link is not a regular file, even when it points to one.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) continue;
        if (!S_ISREG(info.st_mode)) continue;
        const auto kind = mediaKindForExtension(path.extension().string());
        if (!kind) continue;
        const TimePoint modified = timePointOf(info.st_mtim);

        const std::string name = path.filename().string();
        auto previous = known.find(name);
        if (previous != known.end() && previous->second->modified == modified && previous->second->kind == *kind) {
            fresh.push_back(*previous->second);
            continue;
        }
        Item item;
        item.url = path;
        item.kind = *kind;
        item.modified = modified;
        item.date = modified;
        item.dateIsExif = false;
        item.metadataLoaded = *kind != MediaKind::image;
        fresh.push_back(std::move(item));
    }
    items = std::move(fresh);
    sortItems();
}

void Project::sortItems() {
    // File names are computed once; the comparator runs O(n log n) times.
    struct Entry {
        std::string name;
        size_t position;
        Item item;
    };
    std::unordered_map<std::string, size_t> positions;
    for (size_t index = 0; index < order.size(); ++index) positions.emplace(order[index], index);

    std::vector<Entry> entries;
    entries.reserve(items.size());
    for (Item& item : items) {
        std::string name = item.fileName();
        auto found = positions.find(name);
        const size_t position = found == positions.end() ? std::numeric_limits<size_t>::max() : found->second;
        entries.push_back({std::move(name), position, std::move(item)});
    }

    const bool reversed = settings.reverse;
    if (settings.sort == "manual") {
        // Reverse does not apply to a hand-made order.
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            if (a.position != b.position) return a.position < b.position;
            return text::naturalCompare(a.name, b.name) < 0;
        });
    } else if (settings.sort == "date") {
        std::stable_sort(entries.begin(), entries.end(), [reversed](const Entry& a, const Entry& b) {
            if (a.item.date != b.item.date) return reversed ? a.item.date > b.item.date : a.item.date < b.item.date;
            const int names = text::naturalCompare(a.name, b.name);
            return reversed ? names > 0 : names < 0;
        });
    } else {
        std::stable_sort(entries.begin(), entries.end(), [reversed](const Entry& a, const Entry& b) {
            const int names = text::naturalCompare(a.name, b.name);
            return reversed ? names > 0 : names < 0;
        });
    }

    items.clear();
    for (Entry& entry : entries) items.push_back(std::move(entry.item));
}

void Project::loadProjectFile() {
    for (const char* name : projectFileNames) {
        std::error_code code;
        if (fs::is_regular_file(folder / name, code) && tooBigForProjectFile(folder / name)) return;
        auto bytes = readProjectFile(folder / name);
        if (!bytes) continue;
        // A file that exists but cannot be decoded ends the search: an older file under another
        // name must not silently win over a newer one that got damaged.
        applyProjectFile(*bytes);
        return;
    }
}

bool Project::applyProjectFile(std::string_view bytes) {
    auto file = decodeFileFormat(bytes);
    if (!file) return false;
    settings = std::move(file->settings);
    captions = std::move(file->captions);
    order = std::move(file->order);
    output = std::move(file->output);
    return true;
}

void Project::saveProjectFile() const {
    GallerySettings saved = settings;
    saved.normalize();

    json::Json root = json::Json::object();
    root["app"] = "Lanternfold";
    root["version"] = "1.0";
    root["settings"] = saved.toJson();
    json::Json captionObject = json::Json::object();
    for (const auto& [name, caption] : captions) captionObject[name] = caption;
    root["captions"] = std::move(captionObject);
    json::Json orderArray = json::Json::array();
    for (const std::string& name : order) orderArray.push_back(name);
    root["order"] = std::move(orderArray);
    root["output"] = output;

    // A file name that is not valid UTF-8 (possible on Linux) cannot be written as JSON text; its
    // bad bytes become U+FFFD instead of making every save of the folder fail.
    const std::string bytes = root.dump(2, ' ', false, json::Json::error_handler_t::replace) + "\n";
    platform::writeFileAtomically(folder / projectFileNames[0], bytes, platform::Durability::flushToDisk);

    // A save killed part-way (the program was killed) leaves its temporary file in the pictures
    // folder; the next save takes it away.
    const std::string prefix = std::string(".") + projectFileNames[0] + ".lf-";
    std::error_code code;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0 && platform::isLeftoverTemporary(name)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

fs::path Project::outputFolder() const {
    if (output.empty()) return folder.parent_path() / (folder.filename().string() + " gallery");
    return platform::expandTilde(output);
}

std::string Project::caption(const Item& item) const {
    auto typed = captions.find(item.fileName());
    return typed != captions.end() ? typed->second : item.exifCaption;
}

std::string Project::shownCaption(const Item& item) const { return text::trimmed(caption(item)); }

PersistedState Project::persisted() const {
    return PersistedState{folder, settings, captions, order, output};
}

}  // namespace lf::model

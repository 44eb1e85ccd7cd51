#include "home/gallery_manifest.hpp"

#include <ctime>

#include "home/strict_fields.hpp"

namespace lf::home {

json::Json GalleryManifest::toJson() const {
    json::Json value = json::Json::object();
    value["app"] = app;
    value["kind"] = kind;
    value["title"] = title;
    value["description"] = description;
    value["count"] = count;
    value["cover"] = cover;
    value["updated"] = updated;
    if (locked) value["locked"] = *locked;
    return value;
}

// The title is the pictures folder's name when none is typed, and a Linux folder name may hold
// bytes that are not UTF-8: those become U+FFFD instead of leaving the last build's manifest in
// place with an old count and date.
std::string GalleryManifest::encoded() const {
    return toJson().dump(2, ' ', false, json::Json::error_handler_t::replace) + "\n";
}

std::optional<GalleryManifest> GalleryManifest::fromJson(const json::Json& value) {
    if (!value.is_object()) return std::nullopt;
    auto app = strict::string(value, "app");
    auto kind = strict::string(value, "kind");
    auto title = strict::string(value, "title");
    auto description = strict::string(value, "description");
    auto count = strict::integer(value, "count");
    auto cover = strict::string(value, "cover");
    auto updated = strict::string(value, "updated");
    auto locked = strict::optionalMember<bool>(value, "locked", strict::boolean);
    if (!app || !kind || !title || !description || !count || !cover || !updated || !locked) return std::nullopt;

    GalleryManifest manifest;
    manifest.app = *app;
    manifest.kind = *kind;
    manifest.title = *title;
    manifest.description = *description;
    manifest.count = *count;
    manifest.cover = *cover;
    manifest.updated = *updated;
    manifest.locked = *locked;
    return manifest;
}

std::optional<GalleryManifest> GalleryManifest::decode(std::string_view bytes) {
    auto value = json::parse(std::string(bytes));
    if (!value) return std::nullopt;
    return fromJson(*value);
}

std::string isoTimestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(time));
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace lf::home

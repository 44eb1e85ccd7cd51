#include "home/home_manifest.hpp"

#include "home/strict_fields.hpp"

namespace lf::home {

json::Json GalleryRef::toJson() const {
    json::Json value = json::Json::object();
    value["path"] = path;
    value["included"] = included;
    return value;
}

std::optional<GalleryRef> GalleryRef::fromJson(const json::Json& value) {
    if (!value.is_object()) return std::nullopt;
    auto path = strict::string(value, "path");
    auto included = strict::boolean(value, "included");
    if (!path || !included) return std::nullopt;
    return GalleryRef{*path, *included};
}

json::Json HomeManifest::toJson() const {
    json::Json value = json::Json::object();
    value["app"] = app;
    value["kind"] = kind;
    value["title"] = title;
    value["description"] = description;
    value["template"] = templateName;
    value["language"] = language;
    json::Json list = json::Json::array();
    for (const GalleryRef& gallery : galleries) list.push_back(gallery.toJson());
    value["galleries"] = std::move(list);
    value["updated"] = updated;
    if (homeName) value["homeName"] = *homeName;
    return value;
}

std::string HomeManifest::encoded() const { return json::pretty(toJson()); }

std::optional<HomeManifest> HomeManifest::fromJson(const json::Json& value) {
    if (!value.is_object()) return std::nullopt;
    auto app = strict::string(value, "app");
    auto kind = strict::string(value, "kind");
    auto title = strict::string(value, "title");
    auto description = strict::string(value, "description");
    auto templateName = strict::string(value, "template");
    auto language = strict::string(value, "language");
    auto updated = strict::string(value, "updated");
    auto homeName = strict::optionalMember<std::string>(value, "homeName", strict::string);
    if (!app || !kind || !title || !description || !templateName || !language || !updated || !homeName) {
        return std::nullopt;
    }
    auto list = value.find("galleries");
    if (list == value.end() || !list->is_array()) return std::nullopt;

    HomeManifest manifest;
    for (const json::Json& element : *list) {
        auto gallery = GalleryRef::fromJson(element);
        if (!gallery) return std::nullopt;
        manifest.galleries.push_back(*gallery);
    }
    manifest.app = *app;
    manifest.kind = *kind;
    manifest.title = *title;
    manifest.description = *description;
    manifest.templateName = *templateName;
    manifest.language = *language;
    manifest.updated = *updated;
    manifest.homeName = *homeName;
    return manifest;
}

std::optional<HomeManifest> HomeManifest::decode(std::string_view bytes) {
    auto value = json::parse(std::string(bytes));
    if (!value) return std::nullopt;
    return fromJson(*value);
}

}  // namespace lf::home

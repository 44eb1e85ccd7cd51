#include "home/home_settings.hpp"

namespace lf::home {

json::Json HomeSettings::toJson() const {
    json::Json value = json::Json::object();
    value["title"] = title;
    value["description"] = description;
    value["template"] = templateName;
    value["language"] = language;
    value["siteName"] = siteName;
    value["accountID"] = accountID;
    value["lastURL"] = lastURL;
    value["domain"] = domain;
    value["homeName"] = homeName;
    json::Json list = json::Json::array();
    for (const GalleryRef& ref : galleries) list.push_back(ref.toJson());
    value["galleries"] = std::move(list);
    return value;
}

std::string HomeSettings::encoded() const { return json::compact(toJson()); }

namespace {

// Reads one text member into field; false when the member has the wrong type.
bool readText(const json::Json& object, const char* key, std::string& field) {
    if (json::isAbsent(object, key)) return true;
    const auto value = json::optString(object, key);
    if (!value) return false;
    field = *value;
    return true;
}

std::optional<HomeSettings> decodeStrictly(std::string_view text) {
    const auto value = json::parse(std::string(text));
    if (!value || !value->is_object()) return std::nullopt;
    HomeSettings settings;
    const bool textsRead = readText(*value, "title", settings.title) &&
                           readText(*value, "description", settings.description) &&
                           readText(*value, "template", settings.templateName) &&
                           readText(*value, "language", settings.language) &&
                           readText(*value, "siteName", settings.siteName) &&
                           readText(*value, "accountID", settings.accountID) &&
                           readText(*value, "lastURL", settings.lastURL) &&
                           readText(*value, "domain", settings.domain) &&
                           readText(*value, "homeName", settings.homeName);
    if (!textsRead) return std::nullopt;
    if (!json::isAbsent(*value, "galleries")) {
        const json::Json& list = (*value)["galleries"];
        if (!list.is_array()) return std::nullopt;
        for (const json::Json& element : list) {
            auto ref = GalleryRef::fromJson(element);
            if (!ref) return std::nullopt;
            settings.galleries.push_back(*ref);
        }
    }
    return settings;
}

}  // namespace

HomeSettings HomeSettings::decode(std::string_view text) { return decodeStrictly(text).value_or(HomeSettings{}); }

}  // namespace lf::home

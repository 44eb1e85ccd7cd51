#include "builder/build_manifest.hpp"

#include <limits>

namespace lf::builder {

namespace {

// A JSON integer that fits the given range; nothing for fractions, texts or out-of-range values.
std::optional<int64_t> integerIn(const json::Json& value, int64_t low, int64_t high) {
    if (!value.is_number_integer()) return std::nullopt;
    if (value.is_number_unsigned()) {
        const uint64_t unsignedValue = value.get<uint64_t>();
        if (unsignedValue > static_cast<uint64_t>(high)) return std::nullopt;
        return static_cast<int64_t>(unsignedValue);
    }
    const int64_t signedValue = value.get<int64_t>();
    if (signedValue < low || signedValue > high) return std::nullopt;
    return signedValue;
}

// An optional pixel size: absent or null is fine, anything but an int is a broken manifest.
bool readOptionalSize(const json::Json& object, const char* key, std::optional<int>& out) {
    if (json::isAbsent(object, key)) return true;
    auto value = integerIn(object.at(key), std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    if (!value) return false;
    out = static_cast<int>(*value);
    return true;
}

}  // namespace

json::Json toJson(const BuiltEntry& entry) {
    json::Json value = json::Json::object();
    value["source"] = entry.source;
    value["stamp"] = json::Json::array({entry.stamp.modified, entry.stamp.size});
    value["sig"] = entry.sig;
    value["kind"] = model::rawValue(entry.kind);
    value["display"] = entry.display;
    if (entry.w) value["w"] = *entry.w;
    if (entry.h) value["h"] = *entry.h;
    if (entry.original) value["original"] = *entry.original;
    value["files"] = entry.files;
    return value;
}

std::optional<BuiltEntry> builtEntryFromJson(const json::Json& value) {
    if (!value.is_object()) return std::nullopt;
    BuiltEntry entry;

    auto source = json::optString(value, "source");
    auto sig = json::optString(value, "sig");
    auto kindText = json::optString(value, "kind");
    auto display = json::optString(value, "display");
    if (!source || !sig || !kindText || !display) return std::nullopt;
    auto kind = model::mediaKindFromRaw(*kindText);
    if (!kind) return std::nullopt;
    entry.source = *source;
    entry.sig = *sig;
    entry.kind = *kind;
    entry.display = *display;

    auto stamp = value.find("stamp");
    if (stamp == value.end() || !stamp->is_array() || stamp->size() != 2) return std::nullopt;
    constexpr int64_t low = std::numeric_limits<int64_t>::min(), high = std::numeric_limits<int64_t>::max();
    const auto modified = integerIn((*stamp)[0], low, high);
    const auto size = integerIn((*stamp)[1], low, high);
    if (!modified || !size) return std::nullopt;
    entry.stamp = {*modified, *size};

    if (!readOptionalSize(value, "w", entry.w) || !readOptionalSize(value, "h", entry.h)) return std::nullopt;
    if (!json::isAbsent(value, "original")) {
        auto original = json::optString(value, "original");
        if (!original) return std::nullopt;
        entry.original = *original;
    }

    auto files = value.find("files");
    if (files == value.end() || !files->is_array()) return std::nullopt;
    for (const json::Json& file : *files) {
        if (!file.is_string()) return std::nullopt;
        entry.files.push_back(file.get<std::string>());
    }
    return entry;
}

std::string BuildManifest::encoded() const {
    json::Json value = json::Json::object();
    value["version"] = version;
    json::Json entries = json::Json::object();
    for (const auto& [slug, entry] : items) entries[slug] = toJson(entry);
    value["items"] = std::move(entries);
    return value.dump(-1, ' ', false, json::Json::error_handler_t::replace);
}

std::string BuildManifest::storable(const std::string& text) {
    const std::string quoted = json::Json(text).dump(-1, ' ', false, json::Json::error_handler_t::replace);
    return json::Json::parse(quoted).get<std::string>();
}

std::optional<BuildManifest> BuildManifest::decode(std::string_view bytes) {
    auto value = json::parse(std::string(bytes));
    if (!value || !value->is_object()) return std::nullopt;
    auto version = json::optString(*value, "version");
    auto items = value->find("items");
    if (!version || items == value->end() || !items->is_object()) return std::nullopt;

    BuildManifest manifest;
    manifest.version = *version;
    for (const auto& [slug, element] : items->items()) {
        auto entry = builtEntryFromJson(element);
        if (!entry) return std::nullopt;
        manifest.items[slug] = std::move(*entry);
    }
    return manifest;
}

}  // namespace lf::builder

#pragma once
// JSON reading and writing conventions. Writers use nlohmann::ordered_json so keys come out in the
// order they are set; readers go through these accessors, which implement "a missing key, null or a
// value of the wrong type keeps the default".
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace lf::json {

using Json = nlohmann::ordered_json;

// The value under key when it is a string; nothing otherwise.
inline std::optional<std::string> optString(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

inline std::optional<bool> optBool(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
}

// Integers only: a JSON number with a fraction is the wrong type. Values beyond the range of int64
// are the wrong type too.
inline std::optional<int64_t> optInt(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_integer()) {
        if (it->is_number_unsigned() && it->get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
        return it->get<int64_t>();
    }
    return std::nullopt;
}

inline std::string getString(const Json& object, const char* key, const std::string& fallback) {
    return optString(object, key).value_or(fallback);
}
inline int64_t getInt(const Json& object, const char* key, int64_t fallback) {
    return optInt(object, key).value_or(fallback);
}

// True when the key is missing or null: optional members treat null as absent.
inline bool isAbsent(const Json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() || it->is_null();
}

// Both writers below turn bytes that are not UTF-8 into U+FFFD instead of throwing: file names on
// Linux are bytes, and a folder name that is not UTF-8 must not end a build or a publish half-way.

// Pretty-printed text (two-space indent, one key per line, slashes not escaped) with a final line feed.
inline std::string pretty(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// Compact text, no white space.
inline std::string compact(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Parses text; nothing when it is not valid JSON.
inline std::optional<Json> parse(const std::string& text) {
    Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

}  // namespace lf::json

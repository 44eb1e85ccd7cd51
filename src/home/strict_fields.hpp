#pragma once
// Strict member access for the published manifests. Unlike the project file, whose readers keep a
// default for each bad key, a manifest with one missing or mistyped required member is rejected
// whole; these helpers give nothing in that case so the decoder can stop.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/json.hpp"

namespace lf::home::strict {

// The member as text when it is present and a string.
inline std::optional<std::string> string(const json::Json& object, const char* key) {
    return json::optString(object, key);
}

inline std::optional<bool> boolean(const json::Json& object, const char* key) {
    return json::optBool(object, key);
}

inline std::optional<int64_t> integer(const json::Json& object, const char* key) {
    return json::optInt(object, key);
}

// An optional member: absent or null gives an engaged outer value holding nothing; the wrong type
// gives no outer value (reject the manifest).
template <typename T, typename Reader>
std::optional<std::optional<T>> optionalMember(const json::Json& object, const char* key, Reader read) {
    if (json::isAbsent(object, key)) return std::optional<T>{};
    std::optional<T> value = read(object, key);
    if (!value) return std::nullopt;
    return value;
}

}  // namespace lf::home::strict

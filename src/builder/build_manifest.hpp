#pragma once
// The build manifest, .tessavane-build.json in the output folder: the only memory a build keeps of
// the one before it, so unchanged items can be reused instead of encoded again.
#include <optional>
#include <string>
#include <string_view>

#include "builder/built_entry.hpp"
#include "platform/json.hpp"

namespace lf::builder {

struct BuildManifest {
    static constexpr const char* fileName = ".tessavane-build.json";
    static constexpr const char* currentVersion = "mac-1.0";

    std::string version = currentVersion;
    BuiltEntries items;  // by slug

    // Compact JSON text (no white space); it is read only by the next build. A file name that is
    // not UTF-8 (Linux allows any bytes) is stored as storable() gives it, never failing the build.
    std::string encoded() const;

    // Text as the manifest stores it: bytes that are not UTF-8 become U+FFFD, as JSON cannot hold
    // them. A source name is compared in this form with the one read back.
    static std::string storable(const std::string& text);

    // Nothing when the text is not JSON or any entry lacks a required key or holds a wrong type:
    // a manifest that cannot be trusted whole is not used at all, and the build redoes every item.
    // "w", "h" and "original" may be missing (or null); the version's value is not checked.
    static std::optional<BuildManifest> decode(std::string_view bytes);

    bool operator==(const BuildManifest&) const = default;
};

json::Json toJson(const BuiltEntry& entry);
std::optional<BuiltEntry> builtEntryFromJson(const json::Json& value);

}  // namespace lf::builder

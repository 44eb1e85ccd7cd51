#pragma once
// The small description every published gallery carries at its site root, lanternfold-gallery.json.
// The build writes it; discovery reads it to list the account's galleries on the home page.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/json.hpp"

namespace lf::home {

struct GalleryManifest {
    static constexpr const char* fileName = "lanternfold-gallery.json";

    std::string app = "Lanternfold";
    std::string kind = "gallery";  // discovery accepts only "gallery"
    std::string title;
    std::string description;
    int64_t count = 0;
    std::string cover = "cover.jpg";
    std::string updated;           // ISO 8601 UTC with seconds, e.g. 2026-12-05T09:54:35Z
    std::optional<bool> locked;    // left out of the file when absent

    // The members in their documented order; "locked" only when present.
    json::Json toJson() const;

    // Pretty-printed UTF-8 text with a final line feed.
    std::string encoded() const;

    // Strict decoding: a required member that is missing or of the wrong type rejects the whole
    // manifest, as does a "locked" that is neither a boolean nor null. Unknown members are ignored.
    static std::optional<GalleryManifest> fromJson(const json::Json& value);
    static std::optional<GalleryManifest> decode(std::string_view bytes);

    bool operator==(const GalleryManifest&) const = default;
};

// A moment in the manifests' form: ISO 8601 in UTC with whole seconds and "Z".
std::string isoTimestamp(std::chrono::system_clock::time_point time);

}  // namespace lf::home

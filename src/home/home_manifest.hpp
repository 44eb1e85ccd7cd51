#pragma once
// The description of the home page site, lanternfold-home.json, and the gallery order entry it shares
// with the home page settings.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/json.hpp"

namespace lf::home {

// One gallery in the home page's order: its Worker script name and whether the home page shows it.
struct GalleryRef {
    std::string path;
    bool included = true;

    json::Json toJson() const;
    // Both members are required; anything else gives nothing.
    static std::optional<GalleryRef> fromJson(const json::Json& value);

    bool operator==(const GalleryRef&) const = default;
};

struct HomeManifest {
    static constexpr const char* fileName = "lanternfold-home.json";

    std::string app = "Lanternfold";
    std::string kind = "home";  // not checked when read
    std::string title;
    std::string description;
    std::string templateName = "classic";  // "template" in JSON
    std::string language = "en";
    std::vector<GalleryRef> galleries;
    std::string updated;                   // ISO 8601 UTC with seconds
    std::optional<std::string> homeName;   // left out of the file when absent

    json::Json toJson() const;
    std::string encoded() const;

    // Strict decoding as for the gallery manifest: one bad member, including one bad gallery entry,
    // rejects the whole manifest; a null "homeName" counts as absent.
    static std::optional<HomeManifest> fromJson(const json::Json& value);
    static std::optional<HomeManifest> decode(std::string_view bytes);

    bool operator==(const HomeManifest&) const = default;
};

}  // namespace lf::home

#pragma once
// The home page's settings: its texts and look, where it lives (account, domain, address label) and
// the order of the galleries it lists. They are kept in the user preferences as one compact JSON
// text, and most of them travel with the published site in its home manifest.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "home/home_manifest.hpp"
#include "platform/json.hpp"

namespace lf::home {

struct HomeSettings {
    std::string title = "My Galleries";
    std::string description;
    std::string templateName = "classic";  // "template" in JSON
    std::string language = "en";
    std::string siteName;   // used by no operation; kept so stored settings keep all their members
    std::string accountID;  // the Cloudflare account of the home page, filled in by loads and publishes
    std::string lastURL;    // where the home page was last found or published
    std::string domain;     // the user's own domain as typed; may be empty
    std::string homeName = "galleries";  // label of the home page address under that domain
    std::vector<GalleryRef> galleries;   // gallery order and inclusion flags

    // Every member under its field name ("template" for templateName).
    json::Json toJson() const;

    // The compact JSON text kept under the preference key "HomePage".
    std::string encoded() const;

    // Reads stored settings: a missing (or null) member takes its default. Text that is not a JSON
    // object, or that has a member of the wrong type, gives all defaults, so one damaged member
    // never leaves a half-read mixture.
    static HomeSettings decode(std::string_view text);

    bool operator==(const HomeSettings&) const = default;
};

// The key of the settings in the user preferences.
inline constexpr const char* homeSettingsKey = "HomePage";

}  // namespace lf::home

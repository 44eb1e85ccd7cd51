#pragma once
// The home page as a small static site: one page of cards, one per published gallery, its
// stylesheet and its manifest. Writing it is separate from publishing it, so the same folder serves
// the preview in the browser and the upload to Cloudflare.
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "home/gallery_discovery.hpp"
#include "home/home_settings.hpp"

namespace lf::home {

// The page title when the settings' title is blank.
inline constexpr const char* defaultHomeTitle = "My Galleries";

// The padlock drawn before a locked gallery's title; label (escaped here) is its accessible name.
std::string lockMark(std::string_view label);

// The stylesheet of the home page: the template's properties with "--thumb:280px", the base
// stylesheet of the galleries, and the rules of the gallery cards.
std::string homeStylesheet(std::string_view templateName);

// The text of index.html for these galleries (already filtered and in display order). now gives
// the footer's date.
std::string homePage(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                     std::chrono::system_clock::time_point now);

// Writes the home page into folder, which afterwards holds exactly style.css, index.html and
// lanternfold-home.json: an existing folder is deleted first, so nothing of an earlier build is
// left. Returns the path of index.html. Throws platform::FileError for the first file-system
// failure; no network access.
//
// The manifest's "updated" time is now, unless the folder held a manifest whose content is the same
// apart from that time: then the earlier time is kept, so republishing an unchanged home page sends
// no changed file.
std::filesystem::path buildSite(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                                const std::filesystem::path& folder,
                                std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace lf::home

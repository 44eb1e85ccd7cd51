#pragma once
// Writing a site's manifest so that its "updated" time means "last changed", not "last built": a
// rebuild that changes nothing keeps the time already written, the manifest stays byte for byte the
// same, and a republish then has nothing to send. Both the gallery build and the home page build
// write their manifests through here.
#include <filesystem>

#include "home/gallery_manifest.hpp"
#include "home/home_manifest.hpp"

namespace lf::home {

// Whether anything of the site besides its manifest changed in this build (an item, a page, the
// cover, the stylesheet).
enum class SiteChange { unchanged, changed };

// Writes manifest atomically into folder under its file name. When the site is unchanged and the
// manifest already there is the same apart from its "updated" member, its time is kept, so the file
// is written again with the same bytes; otherwise the manifest is written with the time it carries.
// Returns the manifest as written. Throws platform::FileError when it cannot be written.
GalleryManifest writeManifest(const std::filesystem::path& folder, GalleryManifest manifest, SiteChange change);
HomeManifest writeManifest(const std::filesystem::path& folder, HomeManifest manifest, SiteChange change);

}  // namespace lf::home

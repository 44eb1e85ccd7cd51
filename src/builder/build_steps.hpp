#pragma once
// The steps of a gallery build that stand on their own: the signature of the output-affecting
// settings, file stamps, copies, the cover, the published gallery manifest, stale-file removal and
// the check that keeps a build from writing over the pictures it is made from.
#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "builder/built_entry.hpp"
#include "model/gallery_settings.hpp"
#include "model/item.hpp"
#include "model/project.hpp"
#include "home/manifest_writer.hpp"

namespace lf::builder {

namespace fs = std::filesystem;

// The folders inside the output folder that the build owns, in the order it creates them.
inline constexpr std::array<const char*, 5> managedFolders{"images", "thumbs", "media", "originals", "p"};

// The settings that change an item's files, e.g. "220|1600|85||40|false|mac1". Title, captions, look,
// language, paging and dates stay out, so changing them only rewrites pages.
std::string settingsSignature(const model::GallerySettings& settings);

// The file's modification time in whole milliseconds since 1970 UTC (truncated toward zero) and
// its size in bytes; each 0 when it cannot be read.
FileStamp fileStamp(const fs::path& file);

// Removes any file at the destination, then copies. Throws lf::platform::FileError naming the file.
void copyReplacing(const fs::path& from, const fs::path& to);

// Whether building into output could overwrite or delete files of the pictures folder: the two are
// the same folder, or the pictures folder is (or lies inside) one of the managed folders, whose
// contents the build replaces and prunes. Compares the paths as written and with links resolved.
bool picturesFolderAtRisk(const fs::path& pictures, const fs::path& output);

// Copies the cover item's thumbnail to cover.jpg: the item named coverName, else the first still
// picture, else the first item. Never fails.
void writeCover(const std::vector<model::Item>& items, const std::string& coverName, const fs::path& output);

// Writes lanternfold-gallery.json for a build of count items. When nothing else of the site changed
// and the manifest would be the same but for its time, the one already written stays as it is, so
// an unchanged gallery republishes without sending anything. Never fails.
void writeGalleryManifest(const model::Project& project, int count, const fs::path& output,
                          home::SiteChange change = home::SiteChange::changed);

// Deletes what the current build no longer produces: the script files of earlier versions, entries
// of the managed folders not in keep (names starting with "." excepted) and index-N.html pages not
// in keep. Never deletes a folder, never follows a managed folder that is a link elsewhere, and
// touches nothing else. Never fails.
void removeStaleFiles(const fs::path& output, const std::set<std::string>& keep);

}  // namespace lf::builder

#pragma once
// The walk of a built site that both publishers make: which files of the output folder go on the
// web, found the same way for Cloudflare and for FTP.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lf::platform {

// One file of a built site.
struct SiteFile {
    std::filesystem::path path;  // where it was found, below the folder's real location
    std::string relative;        // its path relative to that location, "/" between folders
    uintmax_t size = 0;          // its length in bytes when it was found

    bool operator==(const SiteFile&) const = default;
};

// Every regular file below folder, in no particular order. Hidden files and folders (names beginning
// with ".", such as the build manifest) are skipped at every level; symbolic links are never
// followed nor included, whatever they point to; a file whose real location is not inside the
// folder's is left out, and so is one whose kind or size cannot be read. A folder that cannot be
// listed contributes no files and the walk goes on with the rest; a missing or unreadable folder
// gives none.
std::vector<SiteFile> siteFiles(const std::filesystem::path& folder);

}  // namespace lf::platform

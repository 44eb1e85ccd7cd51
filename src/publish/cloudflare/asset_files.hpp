#pragma once
// The files of a built site as Cloudflare's static assets see them: path, content hash, size and
// Content-Type, with the limits Cloudflare sets on a site.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lf::publish::cloudflare {

// The largest file Cloudflare accepts (25 MiB; a file of exactly this size is accepted).
inline constexpr int64_t maxAssetSize = 25LL * 1024 * 1024;
// The most files one site may have on the free plan (exactly this many is accepted).
inline constexpr int64_t maxAssetCount = 20000;

struct FileEntry {
    std::filesystem::path url;  // the file as found in the folder, read again for the upload
    std::string path;           // "/" + path relative to the site folder, "/" between folders
    std::string hash;           // assetHash of the content and extension
    int64_t size = 0;
    std::string mime;

    bool operator==(const FileEntry&) const = default;
};

// Every regular file below folder, sorted by path (byte order). Hidden files and folders (names
// beginning with ".") and symbolic links are never included, nor anything whose real location
// lies outside the folder. A missing or unreadable folder gives an empty list. Throws
// CloudflareError::tooBig for the first file over maxAssetSize (before reading it) and
// lf::platform::FileError when a file cannot be read.
std::vector<FileEntry> collectFiles(const std::filesystem::path& folder);

// The first 32 hexadecimal digits of SHA-256 over the Base64 text of the bytes followed by the
// extension as written (no dot), the content address Cloudflare keeps the file under.
std::string assetHash(std::string_view bytes, std::string_view extension);

// The Content-Type for a file by its extension: text types with "; charset=utf-8", then the
// system's MIME type table, then "application/octet-stream".
std::string mimeTypeFor(const std::filesystem::path& file);

}  // namespace lf::publish::cloudflare

#include "publish/cloudflare/asset_files.hpp"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

#include "platform/crypto.hpp"
#include "platform/files.hpp"
#include "platform/site_walk.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"

namespace lf::publish::cloudflare {

namespace fs = std::filesystem;

namespace {

// The extension as written in the file name, without the dot; empty when there is none. A name
// like ".profile" has no extension.
std::string extensionOf(const fs::path& file) {
    const std::string extension = file.extension().string();
    return extension.empty() ? std::string() : extension.substr(1);
}

// The system's table of MIME types by extension (/etc/mime.types), read once.
const std::unordered_map<std::string, std::string>& systemMimeTypes() {
    static const std::unordered_map<std::string, std::string> types = [] {
        std::unordered_map<std::string, std::string> table;
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string type, extension;
            if (!(words >> type)) continue;
            while (words >> extension) table.emplace(lf::text::lowerASCII(extension), type);
        }
        return table;
    }();
    return types;
}

// Used when the system has no table or the table lacks an extension: the picture, movie and
// sound types a built gallery holds.
const std::map<std::string, std::string, std::less<>> fallbackMimeTypes = {
    {"jpg", "image/jpeg"},   {"jpeg", "image/jpeg"},      {"png", "image/png"},    {"gif", "image/gif"},
    {"webp", "image/webp"},  {"avif", "image/avif"},      {"heic", "image/heic"},  {"heif", "image/heif"},
    {"tif", "image/tiff"},   {"tiff", "image/tiff"},      {"bmp", "image/bmp"},    {"svg", "image/svg+xml"},
    {"ico", "image/vnd.microsoft.icon"},                  {"mp4", "video/mp4"},    {"m4v", "video/mp4"},
    {"mov", "video/quicktime"},                           {"webm", "video/webm"},  {"mkv", "video/x-matroska"},
    {"avi", "video/x-msvideo"},                           {"mp3", "audio/mpeg"},   {"m4a", "audio/mp4"},
    {"aac", "audio/aac"},    {"wav", "audio/x-wav"},      {"aif", "audio/x-aiff"}, {"aiff", "audio/x-aiff"},
    {"flac", "audio/flac"},  {"ogg", "audio/ogg"},        {"oga", "audio/ogg"},    {"opus", "audio/ogg"},
    {"xml", "application/xml"},                           {"pdf", "application/pdf"},
    {"woff", "font/woff"},   {"woff2", "font/woff2"},
};

}  // namespace

std::string assetHash(std::string_view bytes, std::string_view extension) {
    std::string text = crypto::base64(bytes);
    text.append(extension);
    return crypto::hex(crypto::sha256(text)).substr(0, 32);
}

std::string mimeTypeFor(const fs::path& file) {
    const std::string extension = lf::text::lowerASCII(extensionOf(file));
    static const std::map<std::string, std::string, std::less<>> textTypes = {
        {"html", "text/html"}, {"htm", "text/html"},        {"css", "text/css"},
        {"js", "text/javascript"}, {"json", "application/json"}, {"txt", "text/plain"},
    };
    if (auto found = textTypes.find(extension); found != textTypes.end()) return found->second + "; charset=utf-8";
    if (extension.empty()) return "application/octet-stream";
    const auto& system = systemMimeTypes();
    if (auto found = system.find(extension); found != system.end()) return found->second;
    if (auto found = fallbackMimeTypes.find(extension); found != fallbackMimeTypes.end()) return found->second;
    return "application/octet-stream";
}

std::vector<FileEntry> collectFiles(const fs::path& folder) {
    std::vector<FileEntry> entries;
    for (const platform::SiteFile& file : platform::siteFiles(folder)) {
        // Checked before the file is read, so a huge movie is refused without reading it.
        if (file.size > static_cast<uintmax_t>(maxAssetSize)) throw CloudflareError::tooBig(file.relative);
        const std::string bytes = platform::readFile(file.path);
        FileEntry entry;
        entry.url = file.path;
        entry.path = "/" + file.relative;
        entry.hash = assetHash(bytes, extensionOf(file.path));
        entry.size = static_cast<int64_t>(bytes.size());
        entry.mime = mimeTypeFor(file.path);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) { return a.path < b.path; });
    return entries;
}

}  // namespace lf::publish::cloudflare

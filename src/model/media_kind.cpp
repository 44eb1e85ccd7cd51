#include "model/media_kind.hpp"

#include <array>

#include "platform/text.hpp"

namespace lf::model {

namespace {

// Consulted in this order; no extension is in two lists.
constexpr std::array<const char*, 10> imageExtensions{"jpg", "jpeg", "png", "gif", "webp", "tif", "tiff", "bmp", "heic", "heif"};
constexpr std::array<const char*, 5> videoExtensions{"mp4", "m4v", "mov", "webm", "ogv"};
constexpr std::array<const char*, 9> audioExtensions{"mp3", "m4a", "aac", "wav", "aif", "aiff", "ogg", "oga", "flac"};

template <size_t N>
bool contains(const std::array<const char*, N>& list, const std::string& value) {
    for (const char* entry : list) if (value == entry) return true;
    return false;
}

}  // namespace

std::string rawValue(MediaKind kind) {
    switch (kind) {
        case MediaKind::image: return "image";
        case MediaKind::video: return "video";
        case MediaKind::audio: return "audio";
    }
    return "image";
}

std::optional<MediaKind> mediaKindFromRaw(std::string_view raw) {
    if (raw == "image") return MediaKind::image;
    if (raw == "video") return MediaKind::video;
    if (raw == "audio") return MediaKind::audio;
    return std::nullopt;
}

std::optional<MediaKind> mediaKindForExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    const std::string lower = text::lowerASCII(extension);
    if (lower.empty()) return std::nullopt;
    if (contains(imageExtensions, lower)) return MediaKind::image;
    if (contains(videoExtensions, lower)) return MediaKind::video;
    if (contains(audioExtensions, lower)) return MediaKind::audio;
    return std::nullopt;
}

}  // namespace lf::model

#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace lf::model {

// The three kinds of media a gallery holds; stored and compared by their raw text.
enum class MediaKind { image, video, audio };

// "image", "video" or "audio".
std::string rawValue(MediaKind kind);

// The kind of a raw text; nothing for any other text.
std::optional<MediaKind> mediaKindFromRaw(std::string_view raw);

// The kind of a file from its extension (compared lower-cased, without the dot); nothing when the
// extension is not one the folder scan accepts.
std::optional<MediaKind> mediaKindForExtension(std::string_view extension);

}  // namespace lf::model

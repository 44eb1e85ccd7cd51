#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/media_kind.hpp"

namespace lf::builder {

// What a source file looked like when it was processed; a changed stamp means the file changed.
// Stored in the build manifest as [modified, size].
struct FileStamp {
    int64_t modified = 0;  // modification time in whole milliseconds since 1970 UTC, truncated toward zero
    int64_t size = 0;      // in bytes

    bool operator==(const FileStamp&) const = default;
};

// What the last build made for one item; stored in the build manifest under the item's slug.
struct BuiltEntry {
    std::string source;                  // file name of the source, with extension
    FileStamp stamp;                     // of the source when it was processed
    std::string sig;                     // settingsSignature of the settings used
    model::MediaKind kind = model::MediaKind::image;
    std::string display;                 // images/{slug}.jpg, images/{slug}.{ext} or media/{slug}.{ext}
    std::optional<int> w;                // display picture width; absent for movies, sounds, unknown
    std::optional<int> h;
    std::optional<std::string> original; // originals/{slug}.{ext} when a copy was made
    std::vector<std::string> files;      // every relative path made, thumbnail first

    bool operator==(const BuiltEntry&) const = default;
};

// Entries of one build by slug.
using BuiltEntries = std::map<std::string, BuiltEntry>;

}  // namespace lf::builder

#pragma once
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "model/media_kind.hpp"

namespace lf::model {

using Clock = std::chrono::system_clock;
using TimePoint = Clock::time_point;

// One media file of the pictures folder.
struct Item {
    std::filesystem::path url;    // the file in the pictures folder
    MediaKind kind = MediaKind::image;
    TimePoint modified{};         // content modification time; now when the file system gives none
    TimePoint date{};             // shown date: starts as modified, replaced by the date taken
    bool dateIsExif = false;      // true once date came from the picture's own metadata
    std::string exifCaption;      // caption read from the picture's metadata
    bool metadataLoaded = false;  // true once photo details were read (always true for video/audio)
    std::string slug;             // URL-safe name in the built site; filled in by the build

    // The item's identity everywhere: the last path component, extension included.
    std::string fileName() const { return url.filename().string(); }

    bool operator==(const Item&) const = default;
};

}  // namespace lf::model

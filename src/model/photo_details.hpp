#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "model/item.hpp"

namespace lf::model {

// What a picture says about itself: the date taken and its cleaned caption.
struct PhotoDetails {
    std::optional<TimePoint> date;
    std::string caption;
};

// The result for one file, keyed by its file name for writing back into the project.
struct Details {
    std::string name;
    std::optional<TimePoint> date;
    std::string caption;
};

// Reads the date taken and caption of a picture without decoding pixels. Never fails: an
// unreadable file gives no date and an empty caption. Safe to call from any thread.
PhotoDetails readPhotoDetails(const std::filesystem::path& file);

// Writes the details into an item: date and dateIsExif when a date was found, the caption, and
// metadataLoaded.
void applyPhotoDetails(Item& item, const PhotoDetails& details);

}  // namespace lf::model

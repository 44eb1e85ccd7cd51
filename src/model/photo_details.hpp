#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

struct Project;

// Reads the details of every picture of the project not read yet (metadataLoaded false) and writes
// them into its item; re-sorts the items afterwards when the project sorts by date, since the
// dates taken change the order. Never fails.
void readMissingPhotoDetails(Project& project);

// The date of a camera's date text "yyyy:MM:dd HH:mm:ss" as local time (the computer's time zone
// when called). Spaces and tabs around it are ignored and only the first 19 characters count, so
// sub-seconds or a zone after the seconds do not matter. An impossible or all-zero date gives nothing.
std::optional<TimePoint> parseExifDate(std::string_view text);

// A caption as found in a picture, cleaned: NUL characters removed anywhere, white space and line
// breaks trimmed at both ends, text that is not UTF-8 read as Latin-1, and the captions cameras
// write by themselves ("OLYMPUS DIGITAL CAMERA", "SONY DSC", … in any case) replaced by "".
std::string cleanedCaption(std::string_view raw);

}  // namespace lf::model

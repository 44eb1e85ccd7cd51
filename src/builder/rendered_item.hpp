#pragma once
// One item's output files made in memory, before any of them is written: the build can make
// several items at once and still write them, and record them, one after another in item order.
#include <optional>
#include <string>
#include <vector>

#include "builder/built_entry.hpp"

namespace lf::builder {

// One file of an item: a JPEG made from the source, or a copy of the source itself.
struct ItemFile {
    std::string path;                 // relative to the output folder, e.g. "thumbs/beach.jpg"
    std::optional<std::string> jpeg;  // the encoded picture; nothing for an unchanged copy of the source
};

struct RenderedItem {
    BuiltEntry entry;            // what the build manifest records once every file is written
    std::vector<ItemFile> files;  // the files of entry.files, in the order they are written
};

}  // namespace lf::builder

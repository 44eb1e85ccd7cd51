#pragma once
// writePages: the step of a build that writes style.css, lanternfold.js, the index pages and one
// page per item into the output folder, once every item has been processed.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "builder/built_entry.hpp"
#include "model/item.hpp"
#include "model/project.hpp"

namespace lf::builder {

// The gallery title the pages and manifests show: the title trimmed of white space and line breaks,
// or the pictures folder's name when that leaves nothing.
std::string resolvedTitle(const model::Project& project);

// Writes the site's text files into output and returns their paths relative to output, in writing
// order: "style.css", "lanternfold.js", "index.html", "index-2.html", …, then "p/{slug}.html" for
// every item that has an entry, in item order.
//
// project gives the pictures folder (for a title that is empty), the settings and the typed
// captions; items are the gallery's items in display order with their slugs; entries are this
// build's entries by slug (an item without one gets no page of its own, but its thumbnail cell and
// its neighbours still link to where the page would be). homeURL is the address of the home page
// that lists all galleries; absent or empty, the index pages have no link back to it. now is the
// build date written in the footers.
//
// Every file is written whole through a temporary file and a rename, so a reader never sees half a
// page. When changed is given, it is set to whether any file's text differs from what the file held
// before. The folders output and output/p must exist: this function creates nothing but its files.
// Throws platform::FileError for the first file that cannot be written; files written before it
// stay.
std::vector<std::string> writePages(const model::Project& project, const std::vector<model::Item>& items,
                                    const BuiltEntries& entries, const std::filesystem::path& output,
                                    const std::optional<std::string>& homeURL = std::nullopt,
                                    std::chrono::system_clock::time_point now = std::chrono::system_clock::now(),
                                    bool* changed = nullptr);

}  // namespace lf::builder

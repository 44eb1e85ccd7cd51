#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/gallery_settings.hpp"
#include "model/item.hpp"

namespace lf::model {

// The saved part of a project; equality decides whether a change needs saving.
struct PersistedState {
    std::filesystem::path folder;
    GallerySettings settings;
    std::map<std::string, std::string> captions;
    std::vector<std::string> order;
    std::string output;

    bool operator==(const PersistedState&) const = default;
};

// One pictures folder opened by the user. A plain value: whoever changes it replaces it whole.
struct Project {
    std::filesystem::path folder;                  // standardized
    GallerySettings settings;
    std::map<std::string, std::string> captions;   // typed captions by file name
    std::vector<std::string> order;                // manual order, by file name
    std::string output;                            // empty: the default output folder
    std::vector<Item> items;                       // display order

    Project() = default;

    // Defaults with the folder's name as title, then the project file, then the folder scan.
    // Touches the file system; never throws for an unreadable folder or project file.
    explicit Project(const std::filesystem::path& folder);

    // Rescans the folder, keeping unchanged items, then sorts. Never fails.
    void reloadItems();

    // Reorders items by settings.sort and settings.reverse (stable).
    void sortItems();

    // Reads lanternfold.json (or a legacy name); a file that cannot be used changes nothing.
    void loadProjectFile();

    // Takes the saved part (settings, captions, order, output) from a project file's bytes. Returns
    // false and changes nothing when the bytes are not a usable project file.
    bool applyProjectFile(std::string_view bytes);

    // Writes lanternfold.json atomically with the normalized settings. Throws lf::Error (a file error).
    void saveProjectFile() const;

    // The output folder: output with "~" expanded, or "<folder name> gallery" beside the folder.
    std::filesystem::path outputFolder() const;

    // The typed caption when the key exists (even empty), otherwise the item's exifCaption.
    std::string caption(const Item& item) const;
    // The caption the gallery pages and `lanternfold list` show: caption(item) with white space
    // and line breaks trimmed from both ends.
    std::string shownCaption(const Item& item) const;

    PersistedState persisted() const;

    bool operator==(const Project&) const = default;
};

}  // namespace lf::model

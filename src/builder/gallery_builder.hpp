#pragma once
// GalleryBuilder turns a project into a static web site in its output folder, redoing only the
// items whose source file or output-affecting settings changed since the last build.
#include <filesystem>
#include <optional>
#include <string>

#include "builder/build_manifest.hpp"
#include "builder/built_entry.hpp"
#include "model/gallery_settings.hpp"
#include "model/item.hpp"
#include "model/project.hpp"
#include "platform/long_work.hpp"

namespace lf::builder {

class GalleryBuilder {
public:
    using Manifest = BuildManifest;

    // Builds the gallery of a copy of the project and returns the path of its index.html.
    //
    // Order of work: normalize the settings; refuse an output folder that is the pictures folder or
    // holds it in one of its managed folders (BuildError::sameFolder) and a project without items
    // (BuildError::empty), both before anything is written; give every item a slug; create the
    // managed folders; read the old build manifest (a missing or damaged one means a full rebuild);
    // process every item in order, reading photo details not read yet; re-order by date when dates
    // were learnt and the order is by date; write the pages, the cover, the gallery manifest; remove
    // stale files; write the build manifest durably.
    //
    // progress gets (i, n + 1, "Preparing " + file name) before item i, (n, n + 1, "Writing pages")
    // and (n + 1, n + 1, "Done"). stop is checked before each item and inside long decodes; a stop
    // throws lf::Cancelled unwrapped and leaves the previous build manifest in place. An item's
    // failure throws BuildError::item; file-system failures of the folders, pages and build
    // manifest pass through as lf::platform::FileError.
    static std::filesystem::path build(model::Project project, const std::optional<std::string>& homeURL,
                                       const Progress& progress = {}, const StopToken& stop = {});

    // Makes one item's files, or returns old unchanged when its source stamp, signature and file
    // name match and all its recorded files still exist. Throws media::ImageError or
    // platform::FileError for the item, lf::Cancelled when stopped during a decode.
    static BuiltEntry processItem(const model::Item& item, const model::GallerySettings& settings,
                                  const std::filesystem::path& output, const std::string& sig,
                                  const std::optional<BuiltEntry>& old, const StopToken& stop = {});
};

}  // namespace lf::builder

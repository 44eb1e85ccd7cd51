#pragma once
// GalleryBuilder turns a project into a static web site in its output folder, redoing only the
// items whose source file or output-affecting settings changed since the last build.
#include <filesystem>
#include <optional>
#include <string>

#include "builder/build_manifest.hpp"
#include "builder/built_entry.hpp"
#include "builder/rendered_item.hpp"
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
    // Items are made by `workers` threads at once (0: one per core), each decode using its share of
    // the cores, but everything that can be seen is that of one item after another: the files of
    // each item are written, and its photo details applied, in item order, only after every item
    // before it succeeded; the output is byte for byte that of a one-worker build.
    //
    // progress gets (i, n + 1, "Preparing " + file name) before item i, (n, n + 1, "Writing pages")
    // and (n + 1, n + 1, "Done"). stop is checked before each item and inside long decodes; a stop
    // throws lf::Cancelled unwrapped, writes nothing more and leaves the previous build manifest in
    // place. The first failing item in item order throws BuildError::item; file-system failures of
    // the folders, pages and build manifest pass through as lf::platform::FileError.
    static std::filesystem::path build(model::Project project, const std::optional<std::string>& homeURL,
                                       const Progress& progress = {}, const StopToken& stop = {},
                                       int workers = 0);

    // Makes one item's files, or returns old unchanged when canReuse says so: renderItem, then
    // writeItem. Throws media::ImageError or platform::FileError for the item, lf::Cancelled when
    // stopped during a decode.
    static BuiltEntry processItem(const model::Item& item, const model::GallerySettings& settings,
                                  const std::filesystem::path& output, const std::string& sig,
                                  const std::optional<BuiltEntry>& old, const StopToken& stop = {});

    // Whether the old entry still describes the item's files: the same source stamp, signature and
    // file name, and every file it lists still in the output folder and, when recordedAt (the time
    // the build manifest holding old was written) is given, not modified after it.
    static bool canReuse(const BuiltEntry& old, const model::Item& item, const FileStamp& stamp,
                         const std::string& sig, const std::filesystem::path& output,
                         const std::optional<std::filesystem::file_time_type>& recordedAt = std::nullopt);

    // Makes the item's files in memory: decodes, scales, draws and encodes its pictures (or its
    // movie's poster); copies of the source are only named. Writes nothing. Throws
    // media::ImageError, lf::Cancelled when stopped during a decode.
    static RenderedItem renderItem(const model::Item& item, const model::GallerySettings& settings,
                                   const FileStamp& stamp, const std::string& sig, const StopToken& stop = {});

    // Writes the rendered files into the output folder in their order (a file already there is
    // replaced) and returns the entry to record. Throws media::ImageError or platform::FileError.
    static BuiltEntry writeItem(const RenderedItem& rendered, const model::Item& item,
                                const std::filesystem::path& output);
};

}  // namespace lf::builder

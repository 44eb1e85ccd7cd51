#include "home/manifest_writer.hpp"

#include "platform/files.hpp"

namespace lf::home {

namespace {

template <typename Manifest>
Manifest writeKeepingTime(const std::filesystem::path& folder, Manifest manifest, SiteChange change) {
    const std::filesystem::path file = folder / Manifest::fileName;
    if (change == SiteChange::unchanged) {
        if (const std::optional<std::string> existing = platform::readFileIfPossible(file)) {
            if (const std::optional<Manifest> previous = Manifest::decode(*existing)) {
                Manifest same = manifest;
                same.updated = previous->updated;
                // Compared as written text, so that anything the encoding changes (member order, a
                // replaced byte) counts as a difference and the manifest gets the new time.
                if (same.encoded() == *existing) manifest = std::move(same);
            }
        }
    }
    platform::writeFileAtomically(file, manifest.encoded());
    return manifest;
}

}  // namespace

GalleryManifest writeManifest(const std::filesystem::path& folder, GalleryManifest manifest, SiteChange change) {
    return writeKeepingTime(folder, std::move(manifest), change);
}

HomeManifest writeManifest(const std::filesystem::path& folder, HomeManifest manifest, SiteChange change) {
    return writeKeepingTime(folder, std::move(manifest), change);
}

}  // namespace lf::home

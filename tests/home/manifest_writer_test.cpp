// A manifest's "updated" time changes only with the site: a rebuild that changes nothing leaves the
// manifest as it was, so republishing has nothing to send.
#include <gtest/gtest.h>

#include <filesystem>

#include "home/manifest_writer.hpp"
#include "platform/files.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

GalleryManifest gallery(const std::string& updated) {
    GalleryManifest manifest;
    manifest.title = "Rome";
    manifest.count = 3;
    manifest.updated = updated;
    return manifest;
}

HomeManifest home(const std::string& updated) {
    HomeManifest manifest;
    manifest.title = "All galleries";
    manifest.galleries = {{"rome", true}, {"alps", false}};
    manifest.updated = updated;
    return manifest;
}

template <typename Manifest>
class ManifestWriter : public ::testing::Test {
protected:
    static Manifest make(const std::string& updated) {
        if constexpr (std::is_same_v<Manifest, GalleryManifest>) {
            return gallery(updated);
        } else {
            return home(updated);
        }
    }
    // A change of content other than the time.
    static void alter(Manifest& manifest) { manifest.title += " and more"; }

    std::string written() const { return platform::readFile(folder.path() / Manifest::fileName); }

    lf::testing::TemporaryFolder folder;
};

using Manifests = ::testing::Types<GalleryManifest, HomeManifest>;
TYPED_TEST_SUITE(ManifestWriter, Manifests);

TYPED_TEST(ManifestWriter, KeepsTheTimeOnlyWhenNothingChanged) {
    const auto& folder = this->folder.path();
    const std::string first = "2026-12-05T09:54:35Z";
    const std::string later = "2026-12-06T10:00:00Z";

    // Nothing there yet: written with its own time, even for an unchanged site.
    EXPECT_EQ(writeManifest(folder, this->make(first), SiteChange::unchanged).updated, first);
    const std::string before = this->written();

    // Same content, site unchanged: the file stays byte for byte the same, time included.
    EXPECT_EQ(writeManifest(folder, this->make(later), SiteChange::unchanged).updated, first);
    EXPECT_EQ(this->written(), before);

    // Same content, but an item, page or cover changed: the new time.
    EXPECT_EQ(writeManifest(folder, this->make(later), SiteChange::changed).updated, later);
    EXPECT_EQ(TypeParam::decode(this->written())->updated, later);

    // Site unchanged, but the manifest's own content changed: the new time with the new content.
    TypeParam altered = this->make("2026-12-07T11:00:00Z");
    this->alter(altered);
    EXPECT_EQ(writeManifest(folder, altered, SiteChange::unchanged), altered);
    EXPECT_EQ(TypeParam::decode(this->written()), altered);
}

TYPED_TEST(ManifestWriter, AnUnreadableOldManifestIsReplaced) {
    const auto& folder = this->folder.path();
    platform::writeFileAtomically(folder / TypeParam::fileName, "{ not json");
    const TypeParam fresh = this->make("2026-12-05T09:54:35Z");
    EXPECT_EQ(writeManifest(folder, fresh, SiteChange::unchanged), fresh);
    EXPECT_EQ(this->written(), fresh.encoded());
}

}  // namespace
}  // namespace lf::home

#pragma once
// The order of the galleries on the home page and which of them it shows. The order is kept as a
// list of GalleryRef (site name and "included") in the home settings and the home manifest; these
// rules merge it with the galleries found in the account.
#include <vector>

#include "home/gallery_discovery.hpp"
#include "home/home_manifest.hpp"

namespace lf::home {

// The display order: galleries without a ref first, newest "updated" first (a missing time counts as
// the earliest; ties keep their discovery order), so a newly published gallery is at the top until
// it is moved; then the known galleries by the place of their first ref.
std::vector<RemoteGallery> orderGalleries(const std::vector<RemoteGallery>& galleries,
                                          const std::vector<GalleryRef>& refs);

// The galleries, in order, whose first ref does not leave them out. A gallery without a ref is shown.
std::vector<RemoteGallery> shownGalleries(const std::vector<RemoteGallery>& galleries,
                                          const std::vector<GalleryRef>& refs);

// One ref per gallery in gallery order, keeping the flag of its first old ref (shown when new); then
// the old refs of galleries not found this time, in their old order, so a gallery that is missing
// for a while keeps its place and flag for when it returns.
std::vector<GalleryRef> refsFor(const std::vector<RemoteGallery>& galleries, const std::vector<GalleryRef>& refs);

}  // namespace lf::home

#include "home/gallery_order.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace lf::home {

namespace {

// The first ref of each path: a later duplicate is ignored everywhere.
std::map<std::string, size_t> firstPositions(const std::vector<GalleryRef>& refs) {
    std::map<std::string, size_t> positions;
    for (size_t i = 0; i < refs.size(); ++i) positions.emplace(refs[i].path, i);
    return positions;
}

}  // namespace

std::vector<RemoteGallery> orderGalleries(const std::vector<RemoteGallery>& galleries,
                                          const std::vector<GalleryRef>& refs) {
    const auto positions = firstPositions(refs);
    std::vector<RemoteGallery> fresh;
    std::vector<std::pair<size_t, RemoteGallery>> known;
    for (const RemoteGallery& gallery : galleries) {
        if (auto it = positions.find(gallery.siteName); it != positions.end()) {
            known.emplace_back(it->second, gallery);
        } else {
            fresh.push_back(gallery);
        }
    }
    // An absent time is smaller than every time, so it sorts last among the newest-first.
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const RemoteGallery& a, const RemoteGallery& b) { return a.updated > b.updated; });
    std::stable_sort(known.begin(), known.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RemoteGallery> ordered = std::move(fresh);
    for (auto& [position, gallery] : known) ordered.push_back(std::move(gallery));
    return ordered;
}

std::vector<RemoteGallery> shownGalleries(const std::vector<RemoteGallery>& galleries,
                                          const std::vector<GalleryRef>& refs) {
    const auto positions = firstPositions(refs);
    std::vector<RemoteGallery> shown;
    for (const RemoteGallery& gallery : galleries) {
        auto it = positions.find(gallery.siteName);
        if (it == positions.end() || refs[it->second].included) shown.push_back(gallery);
    }
    return shown;
}

std::vector<GalleryRef> refsFor(const std::vector<RemoteGallery>& galleries, const std::vector<GalleryRef>& refs) {
    const auto positions = firstPositions(refs);
    std::vector<GalleryRef> result;
    std::set<std::string> listed;
    for (const RemoteGallery& gallery : galleries) {
        // Discovery gives each script once; a repeated site name still gets only one ref.
        if (!listed.insert(gallery.siteName).second) continue;
        auto it = positions.find(gallery.siteName);
        result.push_back({gallery.siteName, it == positions.end() || refs[it->second].included});
    }
    for (const GalleryRef& ref : refs) {
        if (listed.insert(ref.path).second) result.push_back(ref);
    }
    return result;
}

}  // namespace lf::home

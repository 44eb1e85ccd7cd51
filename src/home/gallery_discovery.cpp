#include "home/gallery_discovery.hpp"

namespace lf::home {

SiteListing listSites(const std::string&, const std::string& accountID, const StopToken&) {
    SiteListing listing;
    listing.accountID = accountID;
    return listing;
}

std::string workersURL(const std::string& name, const SiteListing& listing) {
    return "https://" + name + "." + listing.subdomain + ".workers.dev/";
}

std::string siteURL(const std::string& name, const SiteListing& listing) {
    auto found = listing.domains.find(name);
    return found != listing.domains.end() ? "https://" + found->second + "/" : workersURL(name, listing);
}

std::string freshAddress(const std::string& address, TimePoint now) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    return address + (address.find('?') != std::string::npos ? "&" : "?") + "v=" + std::to_string(seconds);
}

std::optional<std::string> fetchFresh(const std::string&, const StopToken&) { return std::nullopt; }

std::optional<Found> readSite(const std::string&, const std::string&, const std::string&, std::optional<TimePoint>,
                              const StopToken&) {
    return std::nullopt;
}

std::optional<Found> parseIndexPage(const std::string&, const std::string&, const std::string&, const std::string&,
                                    std::optional<TimePoint>) {
    return std::nullopt;
}

DiscoveryResult discover(const std::string& token, const std::string& accountID, const StopToken& stop) {
    DiscoveryResult result;
    static_cast<SiteListing&>(result) = listSites(token, accountID, stop);
    return result;
}

}  // namespace lf::home

std::size_t std::hash<lf::home::RemoteGallery>::operator()(const lf::home::RemoteGallery& gallery) const noexcept {
    std::size_t seed = 0;
    auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>{}(gallery.siteName));
    mix(std::hash<std::string>{}(gallery.title));
    mix(std::hash<std::string>{}(gallery.url));
    mix(std::hash<std::string>{}(gallery.coverURL));
    mix(std::hash<int64_t>{}(gallery.count));
    mix(gallery.updated ? std::hash<int64_t>{}(gallery.updated->time_since_epoch().count()) : 0x5bd1e995);
    mix(std::hash<bool>{}(gallery.locked));
    return seed;
}

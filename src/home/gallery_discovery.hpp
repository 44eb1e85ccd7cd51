#pragma once
// Finding the galleries published in a Cloudflare account: list the account's Worker scripts, read
// each site's gallery manifest over plain HTTPS from its Workers address (or, for a site without a
// usable manifest, its index page), and return one record per gallery found, plus the home page's
// own manifest when a home page has been published. Discovery never changes anything in the account,
// and a site that cannot be read is simply left out.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "home/home_manifest.hpp"
#include "platform/long_work.hpp"

namespace lf::home {

using TimePoint = std::chrono::system_clock::time_point;

// The Worker script that always holds the home page site.
inline constexpr const char* homeSiteName = "lanternfold-home";

// How long one read of a site may take, connection included, before the site is left out.
inline constexpr std::chrono::seconds siteReadTimeout{8};

// One published gallery as discovery sees it. Its identity is siteName.
struct RemoteGallery {
    std::string siteName;  // Worker script name
    std::string title;     // from the manifest or the index page
    std::string url;       // public address ending in "/": the custom host name when there is one
    std::string coverURL;  // Workers address + cover path
    int64_t count = 0;     // 0 when unknown
    std::optional<TimePoint> updated;  // the script's last modification as the listing reports it
    bool locked = false;   // true only when the manifest says "locked": true

    bool operator==(const RemoteGallery&) const = default;
};

// The outcome of reading one site: a gallery, or the home page's manifest.
using Found = std::variant<RemoteGallery, HomeManifest>;

// The account's Worker scripts as discovery needs them.
struct SiteListing {
    std::string accountID;
    std::string subdomain;                       // the account's Workers subdomain
    std::map<std::string, std::string> domains;  // script name → its shortest custom host name
    std::map<std::string, TimePoint> modified;   // script name → last modification
    std::vector<std::string> names;              // scripts with static assets, in listing order

    bool operator==(const SiteListing&) const = default;
};

// The listing, then what the sites' reads found.
struct DiscoveryResult : SiteListing {
    std::vector<RemoteGallery> galleries;  // in the order in which the reads finished
    std::optional<HomeManifest> home;      // when the home page site has a readable manifest

    bool operator==(const DiscoveryResult&) const = default;
};

// Finds the account (the given ID when not empty, else the token's one account) and its Workers
// subdomain, lists the scripts that carry static assets with their modification times, and the
// custom host names (a failing domains listing counts as none). Throws the errors of the account
// and subdomain look-ups and of the scripts listing unchanged (CloudflareError, lf::TransportError,
// lf::Cancelled).
SiteListing listSites(const std::string& token, const std::string& accountID, const StopToken& stop = {});

// "https://NAME.SUBDOMAIN.WORKERS-DOMAIN/", the address every site is read from.
std::string workersURL(const std::string& name, const SiteListing& listing);

// The public address of a site: its custom host name when it has one, else its Workers address.
std::string siteURL(const std::string& name, const SiteListing& listing);

// The address with a cache-busting "v=SECONDS" query member appended ("?" or "&").
std::string freshAddress(const std::string& address, TimePoint now = std::chrono::system_clock::now());

// GETs the address fresh (cache-busting query, no cache, 8 s time-out, no credential) and returns the
// body only for a reply with status 200. Any failure gives nothing; only a stop request throws
// (lf::Cancelled).
std::optional<std::string> fetchFresh(const std::string& address, const StopToken& stop = {});

// Reads one site: the home manifest for the home page site, else the gallery manifest, else the
// index page. Gives nothing when the site holds no gallery this program can recognise. Only a stop
// request throws.
std::optional<Found> readSite(const std::string& name, const std::string& workersAddress,
                              const std::string& siteAddress, std::optional<TimePoint> modified,
                              const StopToken& stop = {});

// Recognises a gallery's index page written by this program or by the two earlier programs whose
// pages it can still list (by their generator mark), and takes the title, item count and cover
// from it. Home pages and pages without a generator mark give nothing. The result is always a
// gallery.
std::optional<Found> parseIndexPage(const std::string& name, const std::string& siteAddress,
                                    const std::string& workersAddress, const std::string& html,
                                    std::optional<TimePoint> modified);

// Lists the account's sites, then reads every site at once, collecting the galleries in the order
// in which their reads finish. Throws the errors of listSites; a single site's failure only leaves
// that site out.
DiscoveryResult discover(const std::string& token, const std::string& accountID, const StopToken& stop = {});

}  // namespace lf::home

// Hashing over every field, so galleries can be kept in hashed sets.
template <>
struct std::hash<lf::home::RemoteGallery> {
    std::size_t operator()(const lf::home::RemoteGallery& gallery) const noexcept;
};

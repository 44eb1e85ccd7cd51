#include "home/home_service.hpp"

#include <cstdlib>

#include "home/gallery_order.hpp"
#include "home/home_address.hpp"
#include "home/home_site.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::home {

namespace fs = std::filesystem;
namespace cf = lf::publish::cloudflare;

fs::path homeWorkFolder() {
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) {
        cache = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        cache = fs::path(home) / ".cache";
    } else {
        cache = fs::temp_directory_path();
    }
    return cache / "Lanternfold Home Page";
}

std::string publishHome(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                        const std::string& accountID, const std::string& token, const std::string& domain,
                        const fs::path& folder, const StopToken& stop, const Progress& progress) {
    const std::vector<RemoteGallery> shown = shownGalleries(galleries, settings.galleries);
    HomeSettings site = settings;
    site.galleries = refsFor(galleries, settings.galleries);
    buildSite(site, shown, folder);

    const std::string label = homeLabel(settings.homeName, domain);
    if (!isValidHomeLabel(label)) throw cf::CloudflareError::badHomeName();

    cf::CloudflarePublisher publisher(token, homeSiteName);
    publisher.accountID = accountID;
    publisher.hostname = homeHost(label, domain);
    publisher.zone = cf::normalizedDomain(domain);
    return publisher.publish(folder, stop, progress).url;
}

HomeSettings settingsFromManifest(const HomeManifest& manifest) {
    HomeSettings settings;
    settings.title = manifest.title;
    settings.description = manifest.description;
    settings.templateName = manifest.templateName;
    settings.language = manifest.language;
    settings.galleries = manifest.galleries;
    settings.homeName = manifest.homeName.value_or("galleries");
    return settings;
}

std::optional<std::string> updateIfPresent(const std::string& token, const std::string& accountID,
                                           const std::string& domain, const fs::path& folder,
                                           const StopToken& stop) {
    try {
        const DiscoveryResult found = discover(token, accountID, stop);
        if (!found.home) return std::nullopt;  // no home page: none is created
        const HomeSettings settings = settingsFromManifest(*found.home);
        return publishHome(settings, orderGalleries(found.galleries, found.home->galleries), found.accountID, token,
                           domain, folder, stop);
    } catch (...) {
        // Quiet on purpose, in this one place: the gallery itself was published.
        return std::nullopt;
    }
}

std::optional<std::string> homeAddress(const std::string& token, const std::string& accountID,
                                       const StopToken& stop) {
    try {
        const SiteListing listing = listSites(token, accountID, stop);
        bool listed = false;
        for (const std::string& name : listing.names) listed = listed || name == homeSiteName;
        if (!listed) return std::nullopt;
        // The manifest only has to exist: a home page whose site cannot be read is not linked to.
        if (!fetchFresh(workersURL(homeSiteName, listing) + HomeManifest::fileName, stop)) return std::nullopt;
        return siteURL(homeSiteName, listing);
    } catch (...) {
        // A gallery is built without the "All galleries" link rather than not at all.
        return std::nullopt;
    }
}

}  // namespace lf::home

#include "home/gallery_discovery.hpp"

#include <charconv>
#include <utility>

#include "home/gallery_manifest.hpp"
#include "platform/http_client.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"

namespace lf::home {

using json::Json;

namespace {

// What one fetch gave: the body of a status 200 reply, or nothing; silent when the site did not
// answer at all within the time-out.
struct Fetched {
    std::optional<std::string> body;
    bool silent = false;
};
using BodyReceiver = std::function<void(Fetched)>;
// Fetches one address fresh and hands over the body (nothing for any failure). The single-site read
// fetches on the spot; discovery queues the fetch on its fan-out and answers when it finishes.
using Fetch = std::function<void(const std::string& address, BodyReceiver then)>;
using FoundReceiver = std::function<void(std::optional<Found>)>;

constexpr std::size_t siteReadLimit = 8u * 1024 * 1024;

// The request fetchFresh sends: cache-busting query, no cache on the way, the site-read time-out,
// redirects followed, and nothing that identifies the user (the sites are public). Nothing when the
// address is not one that can be sent.
std::optional<platform::HttpRequest> freshRequest(const std::string& address) {
    platform::HttpRequest request;
    request.url = freshAddress(address);
    if (!platform::isSendableUrl(request.url)) return std::nullopt;
    request.timeout = siteReadTimeout;
    request.followRedirects = true;
    request.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
    // A manifest is a few hundred bytes and an index page some hundred kilobytes; a site that sends
    // more is not read on, so one odd site cannot fill the memory of a discovery.
    request.maxBodyBytes = siteReadLimit;
    return request;
}

// Only a complete reply with status 200 counts; anything else is as good as no reply.
Fetched fetchedFrom(const platform::HttpOutcome& outcome) {
    if (!outcome.response) {
        try {
            std::rethrow_exception(outcome.error);
        } catch (const TransportError& error) {
            return Fetched{std::nullopt, error.timedOut()};
        } catch (...) {
            return {};
        }
    }
    if (outcome.response->status != 200) return {};
    return Fetched{outcome.response->body, false};
}

// Fetches on the spot, waiting for the reply.
Fetched fetchNow(const std::string& address, const StopToken& stop) {
    const std::optional<platform::HttpRequest> request = freshRequest(address);
    if (!request) return {};
    try {
        return fetchedFrom(platform::HttpOutcome{platform::HttpClient().send(*request, stop), nullptr});
    } catch (const TransportError& error) {
        return Fetched{std::nullopt, error.timedOut()};
    }
}

RemoteGallery galleryFrom(const GalleryManifest& manifest, const std::string& name, const std::string& workersAddress,
                          const std::string& siteAddress, std::optional<TimePoint> modified) {
    RemoteGallery gallery;
    gallery.siteName = name;
    gallery.title = manifest.title;
    gallery.url = siteAddress;
    gallery.coverURL = workersAddress + manifest.cover;
    gallery.count = manifest.count;
    gallery.updated = modified;
    gallery.locked = manifest.locked == true;
    return gallery;
}

// The one description of reading a site, written once for both ways of fetching. Manifests and pages
// are always read from the Workers address, which every site has, even one with a custom host name.
void readSiteWith(const Fetch& fetch, const std::string& name, const std::string& workersAddress,
                  const std::string& siteAddress, std::optional<TimePoint> modified, FoundReceiver done) {
    if (name == homeSiteName) {
        // The home page site is known by its manifest alone; its page is never read as a gallery.
        fetch(workersAddress + HomeManifest::fileName, [done = std::move(done)](Fetched fetched) {
            std::optional<HomeManifest> manifest = fetched.body ? HomeManifest::decode(*fetched.body) : std::nullopt;
            done(manifest ? std::optional<Found>(Found{std::move(*manifest)}) : std::nullopt);
        });
        return;
    }
    fetch(workersAddress + GalleryManifest::fileName,
          [fetch, name, workersAddress, siteAddress, modified, done = std::move(done)](Fetched fetched) {
              const std::optional<GalleryManifest> manifest =
                  fetched.body ? GalleryManifest::decode(*fetched.body) : std::nullopt;
              if (manifest && manifest->kind == "gallery") {
                  done(Found{galleryFrom(*manifest, name, workersAddress, siteAddress, modified)});
                  return;
              }
              // A site that let the whole time-out pass without a word is not asked a second time:
              // its page would only keep everyone waiting as long again.
              if (fetched.silent) {
                  done(std::nullopt);
                  return;
              }
              // No usable manifest: a gallery built by an earlier program, or one whose manifest is
              // damaged, is still recognised by its index page.
              fetch(workersAddress, [name, workersAddress, siteAddress, modified, done](Fetched page) {
                  if (!page.body || !text::isValidUTF8(*page.body)) {
                      done(std::nullopt);
                      return;
                  }
                  done(parseIndexPage(name, siteAddress, workersAddress, *page.body, modified));
              });
          });
}

// The first group of the first match of prefix + one or more ASCII digits; nothing when there is
// none or the number does not fit.
std::optional<int64_t> firstNumberAfter(const std::string& html, std::string_view prefix) {
    for (auto at = html.find(prefix); at != std::string::npos; at = html.find(prefix, at + 1)) {
        const std::size_t first = at + prefix.size();
        std::size_t end = first;
        while (end < html.size() && html[end] >= '0' && html[end] <= '9') ++end;
        if (end == first) continue;
        int64_t value = 0;
        const auto [stopped, error] = std::from_chars(html.data() + first, html.data() + end, value);
        if (error != std::errc() || stopped != html.data() + end) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

SiteListing siteListingFrom(std::string accountID, std::string subdomain, const std::optional<Json>& scripts,
                            const std::optional<Json>& domains) {
    SiteListing listing;
    listing.accountID = std::move(accountID);
    listing.subdomain = std::move(subdomain);
    if (scripts && scripts->is_array()) {
        for (const Json& script : *scripts) {
            const std::optional<std::string> id = json::optString(script, "id");
            if (!id) continue;
            // A Worker without static assets is no gallery; one that does not say is read anyway.
            if (json::optBool(script, "has_assets") == false) continue;
            listing.names.push_back(*id);
            if (const auto modified = json::optString(script, "modified_on")) {
                auto time = text::internetDateTime(*modified, text::FractionalSeconds::required);
                if (!time) time = text::internetDateTime(*modified, text::FractionalSeconds::absent);
                if (time) listing.modified[*id] = *time;
            }
        }
    }
    if (domains && domains->is_array()) {
        for (const Json& domain : *domains) {
            const auto service = json::optString(domain, "service");
            const auto hostname = json::optString(domain, "hostname");
            if (!service || !hostname) continue;
            // The shortest host name wins, and on equal length the first listed.
            const auto known = listing.domains.find(*service);
            if (known != listing.domains.end() &&
                text::characterCount(known->second) <= text::characterCount(*hostname)) {
                continue;
            }
            listing.domains[*service] = *hostname;
        }
    }
    return listing;
}

SiteListing listSites(const std::string& token, const std::string& accountID, const StopToken& stop) {
    // Discovery's own client: it only reads, so it names the home page site and attaches nothing.
    publish::cloudflare::CloudflarePublisher client(token, homeSiteName);
    client.accountID = accountID;

    std::string account = client.resolveAccount(stop);
    std::string subdomain = client.workersSubdomain(account, stop);
    const std::optional<Json> scripts = client.request("GET", "/accounts/" + account + "/workers/scripts",
                                                       std::nullopt, std::nullopt, {}, std::nullopt, stop);

    // Custom host names are a nicety: a token that may not read them, or any other failure of this
    // listing, leaves every gallery at its Workers address.
    std::optional<Json> domains;
    try {
        domains = client.request("GET", "/accounts/" + account + "/workers/domains", std::nullopt, std::nullopt, {},
                                 std::nullopt, stop);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception&) {
        domains.reset();
    }
    return siteListingFrom(std::move(account), std::move(subdomain), scripts, domains);
}

std::string workersURL(const std::string& name, const SiteListing& listing) {
    return "https://" + name + "." + listing.subdomain + "." + publish::cloudflare::workersDomain() + "/";
}

std::string siteURL(const std::string& name, const SiteListing& listing) {
    const auto found = listing.domains.find(name);
    return found != listing.domains.end() ? "https://" + found->second + "/" : workersURL(name, listing);
}

std::string freshAddress(const std::string& address, TimePoint now) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    return address + (address.find('?') != std::string::npos ? "&" : "?") + "v=" + std::to_string(seconds);
}

std::optional<std::string> fetchFresh(const std::string& address, const StopToken& stop) {
    return fetchNow(address, stop).body;
}

std::optional<Found> readSite(const std::string& name, const std::string& workersAddress,
                              const std::string& siteAddress, std::optional<TimePoint> modified,
                              const StopToken& stop) {
    std::optional<Found> found;
    const Fetch fetchHere = [&stop](const std::string& address, BodyReceiver then) { then(fetchNow(address, stop)); };
    readSiteWith(fetchHere, name, workersAddress, siteAddress, modified,
                 [&found](std::optional<Found> outcome) { found = std::move(outcome); });
    return found;
}

std::optional<Found> parseIndexPage(const std::string& name, const std::string& siteAddress,
                                    const std::string& workersAddress, const std::string& html,
                                    std::optional<TimePoint> modified) {
    // Pages written by this program and by the two programs before it carry their generator mark.
    const bool marked = html.find("content=\"Lanternfold") != std::string::npos ||
                        html.find("content=\"Tessavane") != std::string::npos ||
                        html.find("content=\"Kirrabo") != std::string::npos;
    if (!marked) return std::nullopt;
    // A home page lists galleries; it is not one.
    if (html.find("class=\"index home\"") != std::string::npos) return std::nullopt;

    // The first <h1> that is closed, up to its first closing tag, line breaks and all.
    std::string title = name;
    if (const auto open = html.find("<h1>"); open != std::string::npos) {
        const std::size_t start = open + 4;
        if (const auto close = html.find("</h1>", start); close != std::string::npos) {
            title = html.substr(start, close - start);
        }
    }
    // Only the entities the pages write are undone, "&amp;" last so that "&amp;lt;" stays "&lt;".
    replaceAll(title, "&quot;", "\"");
    replaceAll(title, "&#x27;", "'");
    replaceAll(title, "&lt;", "<");
    replaceAll(title, "&gt;", ">");
    replaceAll(title, "&amp;", "&");

    const int64_t count = firstNumberAfter(html, "<p class=\"count\">").value_or(0);

    // Older galleries may have no cover file; their first thumbnail stands in for it.
    std::string cover = "cover.jpg";
    if (html.find("cover.jpg") == std::string::npos) {
        constexpr std::string_view prefix = "src=\"thumbs/";
        for (auto at = html.find(prefix); at != std::string::npos; at = html.find(prefix, at + 1)) {
            const std::size_t pathStart = at + 5;  // after src="
            const std::size_t close = html.find('"', at + prefix.size());
            if (close == std::string::npos) break;
            if (close == at + prefix.size()) continue;  // "thumbs/" alone is no picture
            cover = html.substr(pathStart, close - pathStart);
            break;
        }
    }

    RemoteGallery gallery;
    gallery.siteName = name;
    gallery.title = std::move(title);
    gallery.url = siteAddress;
    gallery.coverURL = workersAddress + cover;
    gallery.count = count;
    gallery.updated = modified;
    gallery.locked = false;
    return Found{std::move(gallery)};
}

DiscoveryResult discover(const std::string& token, const std::string& accountID, const StopToken& stop) {
    DiscoveryResult result;
    static_cast<SiteListing&>(result) = listSites(token, accountID, stop);

    // Every site is read at once on this thread; the results are gathered here, as each read ends,
    // so nothing is shared between threads.
    platform::HttpFanOut fanOut;
    const Fetch fetchLater = [&fanOut](const std::string& address, BodyReceiver then) {
        std::optional<platform::HttpRequest> request = freshRequest(address);
        if (!request) {
            then(Fetched{});
            return;
        }
        fanOut.add(std::move(*request),
                   [then = std::move(then)](platform::HttpOutcome outcome) { then(fetchedFrom(outcome)); });
    };
    const FoundReceiver collect = [&result](std::optional<Found> found) {
        if (!found) return;
        if (auto* gallery = std::get_if<RemoteGallery>(&*found)) {
            result.galleries.push_back(std::move(*gallery));
        } else {
            result.home = std::get<HomeManifest>(std::move(*found));
        }
    };
    for (const std::string& name : result.names) {
        const auto modified = result.modified.find(name);
        readSiteWith(fetchLater, name, workersURL(name, result), siteURL(name, result),
                     modified != result.modified.end() ? std::optional<TimePoint>(modified->second) : std::nullopt,
                     collect);
    }
    fanOut.run(stop);
    return result;
}

}  // namespace lf::home

std::size_t std::hash<lf::home::RemoteGallery>::operator()(const lf::home::RemoteGallery& gallery) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>{}(gallery.siteName));
    mix(std::hash<std::string>{}(gallery.title));
    mix(std::hash<std::string>{}(gallery.url));
    mix(std::hash<std::string>{}(gallery.coverURL));
    mix(std::hash<int64_t>{}(gallery.count));
    mix(gallery.updated ? std::hash<int64_t>{}(gallery.updated->time_since_epoch().count()) : 0x5bd1e995u);
    mix(std::hash<bool>{}(gallery.locked));
    return seed;
}

// Times discovery of an account's galleries against the local Cloudflare double.
//
//   discovery_bench SITES WORK_FOLDER
//
// Deploys SITES small galleries (each a manifest and an index page), makes every site answer one
// second late, and times: discovery of the whole account (all sites read at once), the same sites
// read one after another for comparison, and discovery again with one site that never answers.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "home/gallery_discovery.hpp"
#include "home/gallery_manifest.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"

namespace fs = std::filesystem;
using lf::json::Json;
using lf::test::CloudflareTwin;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string siteName(int index) { return "bench-" + std::to_string(index); }

void deploy(const fs::path& work, const std::string& name) {
    const fs::path site = work / name;
    fs::create_directories(site);
    lf::home::GalleryManifest manifest;
    manifest.title = "Gallery " + name;
    manifest.count = 12;
    manifest.updated = lf::home::isoTimestamp(std::chrono::system_clock::now());
    lf::platform::writeFileAtomically(site / lf::home::GalleryManifest::fileName, manifest.encoded());
    lf::platform::writeFileAtomically(site / "index.html", "<h1>" + manifest.title + "</h1>\n");
    lf::publish::cloudflare::CloudflarePublisher publisher(CloudflareTwin::token, name);
    publisher.accountID = CloudflareTwin::accountID;
    publisher.publish(site);
}

void slowEverySite(const CloudflareTwin& twin, int sites, int milliseconds) {
    Json behaviours = Json::array();
    for (int index = 0; index < sites; ++index) {
        behaviours.push_back(Json{{"script", siteName(index)}, {"behaviour", "slow"}, {"ms", milliseconds}});
    }
    twin.post("/sites/behaviour", behaviours);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: discovery_bench SITES WORK_FOLDER\n");
        return 2;
    }
    const int sites = std::max(1, std::atoi(argv[1]));
    const fs::path work = argv[2];
    try {
        fs::remove_all(work);
        CloudflareTwin twin;
        twin.resetAll();

        // Deploying starts one workerd per site; a few at a time keeps a small machine responsive.
        auto start = Clock::now();
        for (int first = 0; first < sites; first += 4) {
            std::vector<std::future<void>> batch;
            for (int index = first; index < std::min(sites, first + 4); ++index) {
                batch.push_back(std::async(std::launch::async, deploy, work, siteName(index)));
            }
            for (auto& deployed : batch) deployed.get();
        }
        std::printf("deployed %d sites in %.1f s (set-up, not measured)\n", sites, secondsSince(start));

        const auto timedDiscovery = [&] {
            start = Clock::now();
            const auto result = lf::home::discover(CloudflareTwin::token, "");
            return std::pair(secondsSince(start), result.galleries.size());
        };
        // The double issues each host name's certificate and starts each site's runtime on the first
        // request; that is the double's cost, not discovery's, so the first round only warms up.
        const auto [warm, warmFound] = timedDiscovery();
        std::printf("warm-up discovery (the double's first requests):  %6.2f s, %zu galleries (not measured)\n", warm,
                    warmFound);

        start = Clock::now();
        const lf::home::SiteListing listing = lf::home::listSites(CloudflareTwin::token, "");
        const double listed = secondsSince(start);
        std::printf("listing the account alone (4 API requests):       %6.2f s, %zu sites\n", listed,
                    listing.names.size());

        slowEverySite(twin, sites, 1000);
        const auto [slow, slowFound] = timedDiscovery();
        std::printf("discovery, every site read taking 1 s:            %6.2f s, %zu galleries (reads: about %.2f s)\n",
                    slow, slowFound, slow - listed);

        start = Clock::now();
        size_t oneByOne = 0;
        for (const std::string& name : listing.names) {
            if (lf::home::readSite(name, lf::home::workersURL(name, listing), lf::home::siteURL(name, listing),
                                   std::nullopt)) {
                ++oneByOne;
            }
        }
        std::printf("the same reads one after another:                 %6.2f s, %zu galleries (for comparison)\n",
                    secondsSince(start), oneByOne);

        twin.post("/sites/behaviour", Json{{"script", siteName(0)}, {"behaviour", "silent"}});
        const auto [silent, silentFound] = timedDiscovery();
        std::printf("discovery with one site that never answers:       %6.2f s, %zu galleries (time-out %lld s)\n", silent,
                    silentFound, static_cast<long long>(lf::home::siteReadTimeout.count()));
        fs::remove_all(work);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "discovery_bench: %s\n", error.what());
        return 1;
    }
}

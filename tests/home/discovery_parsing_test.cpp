// The parts of discovery that read text without the network: index pages of galleries without a
// manifest, the account's script and domain listings, and the cache-busting address.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "home/gallery_discovery.hpp"
#include "home/gallery_manifest.hpp"

namespace lf::home {
namespace {

using json::Json;
using namespace std::chrono_literals;

const std::string workers = "https://old.lf-test.workers.dev/";
const std::string address = "https://old.example.com/";
const TimePoint modified = std::chrono::sys_days{std::chrono::year{2024} / 1 / 2} + 3h + 4min + 5s;

struct PageCase {
    const char* what;
    std::string html;
    bool found;
    std::string title;
    int64_t count;
    std::string cover;  // relative to the Workers address
};

std::ostream& operator<<(std::ostream& out, const PageCase& c) { return out << c.what; }

class IndexPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(IndexPage, GivesTheGalleryItDescribes) {
    const PageCase& c = GetParam();
    const std::optional<Found> found = parseIndexPage("old", address, workers, c.html, modified);
    if (!c.found) {
        EXPECT_FALSE(found);
        return;
    }
    ASSERT_TRUE(found);
    ASSERT_TRUE(std::holds_alternative<RemoteGallery>(*found));
    const RemoteGallery& gallery = std::get<RemoteGallery>(*found);
    EXPECT_EQ(gallery.title, c.title);
    EXPECT_EQ(gallery.count, c.count);
    EXPECT_EQ(gallery.coverURL, workers + c.cover);
    EXPECT_EQ(gallery.siteName, "old");
    EXPECT_EQ(gallery.url, address);
    EXPECT_EQ(gallery.updated, modified);
    EXPECT_FALSE(gallery.locked);
}

const char* lanternfoldMark = R"(<meta name="generator" content="Lanternfold 1.0">)";

INSTANTIATE_TEST_SUITE_P(
    Pages, IndexPage,
    ::testing::Values(
        PageCase{"a page of this program with heading, count and cover",
                 std::string(lanternfoldMark) +
                     R"(<h1>Rome</h1><p class="count">12 photos</p><img src="thumbs/a.jpg"><img src="cover.jpg">)",
                 true, "Rome", 12, "cover.jpg"},
        PageCase{"the first of the earlier programs", R"(<meta content="Tessavane 3.2"><h1>Alps</h1>)", true, "Alps",
                 0, "cover.jpg"},
        PageCase{"the oldest program, first thumbnail as cover",
                 R"(<meta name="generator" content="Kirrabo"><h1>Sea</h1><p class="count">7</p>)"
                 R"(<img src="thumbs/s-1.jpg"><img src="thumbs/s-2.jpg">)",
                 true, "Sea", 7, "thumbs/s-1.jpg"},
        PageCase{"no mark at all", R"(<h1>Rome</h1><p class="count">12</p>)", false, "", 0, ""},
        PageCase{"a mark that is not a generator's content attribute", "<h1>Made with Lanternfold</h1>", false, "", 0,
                 ""},
        PageCase{"a home page", std::string(lanternfoldMark) + R"(<main class="index home"><h1>All</h1>)", false, "",
                 0, ""},
        PageCase{"entities undone in order, and only these",
                 std::string(lanternfoldMark) +
                     "<h1>Tom &amp; Jerry&#x27;s &quot;best&quot; &lt;3 &gt; &amp;lt; &eacute;</h1>",
                 true, "Tom & Jerry's \"best\" <3 > &lt; &eacute;", 0, "cover.jpg"},
        PageCase{"a heading across lines, not trimmed, the first closed one",
                 std::string(lanternfoldMark) + "<h1> Two\nlines </h1><h1>Second</h1>", true, " Two\nlines ", 0,
                 "cover.jpg"},
        PageCase{"a heading never closed gives the script name", std::string(lanternfoldMark) + "<h1>Open",
                 true, "old", 0, "cover.jpg"},
        PageCase{"nothing but the mark", lanternfoldMark, true, "old", 0, "cover.jpg"},
        PageCase{"the first count with digits", std::string(lanternfoldMark) +
                                                      R"(<p class="count">many</p><p class="count">042 items</p>)",
                 true, "old", 42, "cover.jpg"},
        PageCase{"a count beyond 64 bits is unknown",
                 std::string(lanternfoldMark) + R"(<p class="count">99999999999999999999</p>)", true, "old", 0,
                 "cover.jpg"},
        PageCase{"an empty thumbnail path is skipped",
                 std::string(lanternfoldMark) + R"(<img src="thumbs/"><img src="thumbs/b c.jpg">)", true, "old", 0,
                 "thumbs/b c.jpg"},
        PageCase{"cover.jpg anywhere wins over the thumbnails",
                 std::string(lanternfoldMark) + R"(<img src="thumbs/a.jpg"><meta content="x/cover.jpg">)", true,
                 "old", 0, "cover.jpg"}));

struct ListingCase {
    const char* what;
    std::string scripts;
    std::string domains;  // "" stands for a failed domains request
    std::vector<std::string> names;
    std::map<std::string, std::string> modified;  // as the manifests write times
    std::map<std::string, std::string> hosts;
};

std::ostream& operator<<(std::ostream& out, const ListingCase& c) { return out << c.what; }

class Listing : public ::testing::TestWithParam<ListingCase> {};

std::map<std::string, std::string> printed(const std::map<std::string, TimePoint>& times) {
    std::map<std::string, std::string> texts;
    for (const auto& [name, time] : times) texts[name] = isoTimestamp(time);
    return texts;
}

TEST_P(Listing, KeepsTheScriptsWithAssetsTheirTimesAndShortestHosts) {
    const ListingCase& c = GetParam();
    const std::optional<Json> domains = c.domains.empty() ? std::nullopt : json::parse(c.domains);
    const SiteListing listing = siteListingFrom("acc", "sub", json::parse(c.scripts), domains);
    EXPECT_EQ(listing.accountID, "acc");
    EXPECT_EQ(listing.subdomain, "sub");
    EXPECT_EQ(listing.names, c.names);
    EXPECT_EQ(printed(listing.modified), c.modified);
    EXPECT_EQ(listing.domains, c.hosts);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Listing,
    ::testing::Values(
        ListingCase{"scripts without assets are no galleries; a missing has_assets is read",
                    R"([{"id": "a", "has_assets": true}, {"id": "b", "has_assets": false}, {"id": "c"},
                        {"id": "d", "has_assets": "no"}, {"has_assets": true}, {"id": 5}, "e"])",
                    "[]", {"a", "c", "d"}, {}, {}},
        ListingCase{"only scripts without assets", R"([{"id": "a", "has_assets": false}])", "[]", {}, {}, {}},
        ListingCase{"modification times with and without fractions, with an offset, and unreadable",
                    R"([{"id": "a", "modified_on": "2025-03-01T10:20:30.123456Z"},
                        {"id": "b", "modified_on": "2024-01-02T03:04:05Z"},
                        {"id": "c", "modified_on": "2024-01-02T05:04:05+02:00"},
                        {"id": "d", "modified_on": "yesterday"},
                        {"id": "e", "modified_on": "2024-02-30T00:00:00Z"},
                        {"id": "f", "modified_on": 1700000000}])",
                    "[]", {"a", "b", "c", "d", "e", "f"},
                    {{"a", "2025-03-01T10:20:30Z"}, {"b", "2024-01-02T03:04:05Z"}, {"c", "2024-01-02T03:04:05Z"}}, {}},
        ListingCase{"a later entry of the same script replaces the time",
                    R"([{"id": "a", "modified_on": "2024-01-02T03:04:05Z"},
                        {"id": "a", "modified_on": "2025-01-02T03:04:05Z"}])",
                    "[]", {"a", "a"}, {{"a", "2025-01-02T03:04:05Z"}}, {}},
        ListingCase{"the shortest host name wins, the first on equal length",
                    R"([{"id": "a"}, {"id": "b"}])",
                    R"([{"service": "a", "hostname": "photos-of-a.example.com"}, {"service": "a", "hostname": "a.example.com"},
                        {"service": "b", "hostname": "bb.example.com"}, {"service": "b", "hostname": "cc.example.com"},
                        {"service": "a", "hostname": "z.example.com"}, {"service": "c", "hostname": 7}, {"hostname": "x.example.com"}])",
                    {"a", "b"}, {}, {{"a", "a.example.com"}, {"b", "bb.example.com"}}},
        ListingCase{"a failed domains request and odd shapes give no host names", R"({"id": "a"})", "", {}, {}, {}},
        ListingCase{"a domains reply that is not a list", R"([{"id": "a"}])", R"({"service": "a", "hostname": "a.b"})",
                    {"a"}, {}, {}}));

TEST(FreshAddress, AddsTheTimeInWholeSecondsAsAQueryMember) {
    const TimePoint at = std::chrono::system_clock::time_point(std::chrono::milliseconds(1764928475999));
    EXPECT_EQ(freshAddress("https://a.sub.workers.dev/lanternfold-gallery.json", at),
              "https://a.sub.workers.dev/lanternfold-gallery.json?v=1764928475");
    EXPECT_EQ(freshAddress("https://a.sub.workers.dev/?lang=fr", at), "https://a.sub.workers.dev/?lang=fr&v=1764928475");
}

TEST(SiteAddresses, CustomHostNameForTheAddressWorkersAddressForReading) {
    SiteListing listing;
    listing.subdomain = "lf-test";
    listing.domains = {{"rome", "rome.example.com"}};
    EXPECT_EQ(siteURL("rome", listing), "https://rome.example.com/");
    EXPECT_EQ(workersURL("rome", listing), "https://rome.lf-test.workers.dev/");
    EXPECT_EQ(siteURL("alps", listing), "https://alps.lf-test.workers.dev/");
}

TEST(FetchFresh, AnAddressThatCannotBeSentGivesNothing) {
    EXPECT_FALSE(fetchFresh("not an address"));
    EXPECT_FALSE(fetchFresh("ftp://example.com/file"));
}

}  // namespace
}  // namespace lf::home

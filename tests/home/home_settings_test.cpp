// The home page's settings as kept in the user preferences, its address label and host, and the
// gallery order rules: new galleries newest first, known ones by their place, unticked ones kept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "home/gallery_order.hpp"
#include "home/home_address.hpp"
#include "home/home_preferences.hpp"
#include "home/home_settings.hpp"
#include "platform/files.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

using namespace std::chrono;

TEST(HomeSettingsTest, EncodesCompactlyAndReadsBack) {
    HomeSettings settings;
    settings.title = "Trips / “2026”";
    settings.templateName = "dark";
    settings.galleries = {{"rome", true}, {"paris", false}};
    const std::string text = settings.encoded();
    EXPECT_EQ(text,
              "{\"title\":\"Trips / “2026”\",\"description\":\"\",\"template\":\"dark\",\"language\":\"en\","
              "\"siteName\":\"\",\"accountID\":\"\",\"lastURL\":\"\",\"domain\":\"\",\"homeName\":\"galleries\","
              "\"galleries\":[{\"path\":\"rome\",\"included\":true},{\"path\":\"paris\",\"included\":false}]}");
    EXPECT_EQ(HomeSettings::decode(text), settings);
}

TEST(HomeSettingsTest, MissingMembersTakeDefaultsAndDamagedTextGivesAllDefaults) {
    HomeSettings partial;
    partial.title = "Mine";
    partial.domain = "example.com";
    EXPECT_EQ(HomeSettings::decode(R"({"domain":"example.com","title":"Mine","unknown":[1]})"), partial);
    EXPECT_EQ(HomeSettings::decode(R"({"title":"Mine","domain":"example.com","homeName":null})"), partial);
    EXPECT_EQ(HomeSettings::decode("{}").homeName, "galleries");

    for (const char* damaged : {"", "not json", "[1,2]", R"({"title":3,"domain":"example.com"})",
                                R"({"title":"Mine","galleries":{"path":"a"}})",
                                R"({"title":"Mine","galleries":[{"path":"a","included":"yes"}]})"}) {
        EXPECT_EQ(HomeSettings::decode(damaged), HomeSettings{}) << damaged;
    }
}

TEST(HomeSettingsTest, PreferencesFileKeepsTheCompactTextUnderHomePage) {
    lf::testing::TemporaryFolder root;
    const auto file = root.path() / "Lanternfold.conf";
    HomePreferences preferences(file);
    EXPECT_EQ(preferences.read(), HomeSettings{});

    HomeSettings settings;
    settings.description = "one, two; \"three\"\n= four";
    settings.galleries = {{"a", false}};
    preferences.write(settings);
    EXPECT_EQ(HomePreferences(file).read(), settings);
    EXPECT_NE(platform::readFile(file).find("HomePage="), std::string::npos);
}

TEST(HomeAddressTest, LabelAndHostFollowTheDomain) {
    struct Case {
        const char* homeName;
        const char* domain;
        const char* label;
        const char* host;
    };
    const Case cases[] = {
        {"galleries", "example.com", "galleries", "galleries.example.com"},
        {"", "example.com", "", "example.com"},
        {"example.com", "https://www.Example.com/", "", "example.com"},
        {" Photos.EXAMPLE.com\n", "example.com", "photos", "photos.example.com"},
        {" Photos ", "example.com", "photos", "photos.example.com"},
        {"galleries", "", "galleries", ""},
        {"-x", "", "-x", ""},
        {"a.b", "example.com", "a.b", "a.b.example.com"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(homeLabel(c.homeName, c.domain), c.label) << c.homeName << " / " << c.domain;
        EXPECT_EQ(homeHost(c.homeName, c.domain), c.host) << c.homeName << " / " << c.domain;
    }
}

TEST(HomeAddressTest, LabelRule) {
    for (const std::string good : {std::string(), std::string("galleries"), std::string("a"),
                                   std::string("my-photos-2"), std::string(63, 'a')}) {
        EXPECT_TRUE(isValidHomeLabel(good)) << good;
    }
    for (const std::string bad : {std::string("-x"), std::string("x-"), std::string("a.b"), std::string("Photos"),
                                  std::string("a b"), std::string(64, 'a'), std::string("é")}) {
        EXPECT_FALSE(isValidHomeLabel(bad)) << bad;
    }
}

RemoteGallery found(const std::string& name, std::optional<system_clock::time_point> updated = std::nullopt) {
    RemoteGallery gallery;
    gallery.siteName = name;
    gallery.title = name;
    gallery.updated = updated;
    return gallery;
}

std::vector<std::string> names(const std::vector<RemoteGallery>& galleries) {
    std::vector<std::string> out;
    for (const RemoteGallery& gallery : galleries) out.push_back(gallery.siteName);
    return out;
}

using Names = std::vector<std::string>;

TEST(GalleryOrderTest, NewGalleriesComeFirstNewestFirstThenKnownOnesByPlace) {
    const auto today = system_clock::now();
    const auto yesterday = today - hours{24};
    const std::vector<GalleryRef> refs = {{"a", true}, {"b", true}};
    EXPECT_EQ(names(orderGalleries({found("c", yesterday), found("d", today), found("b"), found("a")}, refs)),
              (Names{"d", "c", "a", "b"}));
    // A missing time is the earliest; equal times keep their discovery order.
    EXPECT_EQ(names(orderGalleries({found("x"), found("y", today), found("z"), found("w", today)}, {})),
              (Names{"y", "w", "x", "z"}));
    // A later duplicate ref does not move a gallery.
    EXPECT_EQ(names(orderGalleries({found("a"), found("b")}, {{"b", true}, {"a", true}, {"b", false}})),
              (Names{"b", "a"}));
}

TEST(GalleryOrderTest, UntickedGalleriesAreHiddenButKeepTheirPlace) {
    const std::vector<RemoteGallery> galleries = {found("a"), found("b"), found("c")};
    const std::vector<GalleryRef> refs = {{"a", true}, {"b", false}, {"b", true}};
    EXPECT_EQ(names(shownGalleries(galleries, refs)), (Names{"a", "c"}));
    EXPECT_EQ(refsFor(galleries, refs), (std::vector<GalleryRef>{{"a", true}, {"b", false}, {"c", true}}));
}

TEST(GalleryOrderTest, VanishedGalleryKeepsItsRefAndReturnsToItsPlace) {
    const std::vector<GalleryRef> refs = {{"a", true}, {"gone", false}, {"b", true}};
    const auto withoutIt = refsFor({found("b"), found("a")}, refs);
    EXPECT_EQ(withoutIt, (std::vector<GalleryRef>{{"b", true}, {"a", true}, {"gone", false}}));
    // Back again: it sorts by its kept place, after the two that now come first.
    EXPECT_EQ(names(orderGalleries({found("gone"), found("a"), found("b")}, withoutIt)), (Names{"b", "a", "gone"}));
    EXPECT_FALSE(shownGalleries({found("gone")}, withoutIt).size());
}

}  // namespace
}  // namespace lf::home

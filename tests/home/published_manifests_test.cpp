// The manifests a published gallery and the home page carry: exact members on writing, and on
// reading a strictness that rejects a manifest whole rather than half-trusting it.
#include <gtest/gtest.h>

#include "home/gallery_manifest.hpp"
#include "home/home_manifest.hpp"

namespace lf::home {
namespace {

const char* validGallery = R"({
  "app": "Lanternfold", "kind": "gallery", "title": "Rome", "description": "Spring",
  "count": 12, "cover": "cover.jpg", "updated": "2026-12-05T09:54:35Z"})";

TEST(GalleryManifestTest, EncodesMembersInOrderAndLeavesOutAbsentLock) {
    GalleryManifest manifest;
    manifest.title = "Rome / “Trip”";
    manifest.description = "  two lines\nkept as stored ";
    manifest.count = 3;
    manifest.updated = "2026-12-05T09:54:35Z";
    EXPECT_EQ(manifest.encoded(),
              "{\n"
              "  \"app\": \"Lanternfold\",\n"
              "  \"kind\": \"gallery\",\n"
              "  \"title\": \"Rome / “Trip”\",\n"
              "  \"description\": \"  two lines\\nkept as stored \",\n"
              "  \"count\": 3,\n"
              "  \"cover\": \"cover.jpg\",\n"
              "  \"updated\": \"2026-12-05T09:54:35Z\"\n"
              "}\n");

    manifest.locked = true;
    const std::string locked = manifest.encoded();
    EXPECT_NE(locked.find("\"updated\": \"2026-12-05T09:54:35Z\",\n  \"locked\": true\n}"), std::string::npos);
    EXPECT_EQ(GalleryManifest::decode(locked), manifest);
}

TEST(GalleryManifestTest, TitleThatIsNotUTF8IsWrittenWithReplacementCharacters) {
    GalleryManifest manifest;
    manifest.title = "Caf\xe9";  // a Latin-1 folder name
    manifest.updated = "2026-12-05T09:54:35Z";
    const auto decoded = GalleryManifest::decode(manifest.encoded());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->title, "Caf\xef\xbf\xbd");
}

TEST(GalleryManifestTest, LockedMemberIsOptionalAndNullMeansAbsent) {
    auto plain = GalleryManifest::decode(validGallery);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->title, "Rome");
    EXPECT_EQ(plain->count, 12);
    EXPECT_FALSE(plain->locked.has_value());

    struct Case { const char* member; std::optional<bool> expected; };
    for (const Case& c : {Case{"true", true}, Case{"false", false}, Case{"null", std::nullopt}}) {
        std::string text = std::string(validGallery);
        text.insert(text.size() - 1, std::string(", \"locked\": ") + c.member);
        auto decoded = GalleryManifest::decode(text);
        ASSERT_TRUE(decoded) << c.member;
        EXPECT_EQ(decoded->locked, c.expected) << c.member;
    }
}

TEST(GalleryManifestTest, RejectsWholeManifestOnMissingOrMistypedMember) {
    auto json = json::Json::parse(validGallery);
    const std::vector<std::pair<const char*, json::Json>> broken{
        {"count", "12"}, {"count", 12.5}, {"locked", "true"}, {"title", nullptr}, {"app", 1},
        {"updated", false}, {"description", json::Json::array()},
    };
    for (const auto& [key, value] : broken) {
        json::Json changed = json;
        changed[key] = value;
        EXPECT_FALSE(GalleryManifest::fromJson(changed)) << key << " = " << value.dump();
    }
    for (const char* key : {"app", "kind", "title", "description", "count", "cover", "updated"}) {
        json::Json changed = json;
        changed.erase(key);
        EXPECT_FALSE(GalleryManifest::fromJson(changed)) << "without " << key;
    }
    EXPECT_FALSE(GalleryManifest::decode("not json"));
    EXPECT_FALSE(GalleryManifest::decode("[1, 2]"));
    EXPECT_FALSE(GalleryManifest::decode(""));
}

TEST(GalleryManifestTest, MemberOrderAndUnknownMembersDoNotMatter) {
    const char* shuffled = R"({"extra": {"x": 1}, "updated": "2026-12-05T09:54:35Z", "cover": "cover.jpg",
        "count": 12, "description": "Spring", "title": "Rome", "kind": "gallery", "app": "Lanternfold"})";
    EXPECT_EQ(GalleryManifest::decode(shuffled), GalleryManifest::decode(validGallery));
}

TEST(GalleryManifestTest, TimestampIsUtcWithWholeSeconds) {
    using namespace std::chrono;
    const auto moment = sys_days{year{2026} / 12 / 5} + hours{9} + minutes{54} + seconds{35} + milliseconds{987};
    EXPECT_EQ(isoTimestamp(moment), "2026-12-05T09:54:35Z");
}

const char* validHome = R"({
  "app": "Lanternfold", "kind": "home", "title": "Our trips", "description": "",
  "template": "dark", "language": "de",
  "galleries": [{"path": "rome", "included": true}, {"path": "oslo", "included": false}],
  "updated": "2026-12-05T09:54:35Z"})";

TEST(HomeManifestTest, DecodesWithoutHomeNameAndRoundTrips) {
    auto home = HomeManifest::decode(validHome);
    ASSERT_TRUE(home);
    EXPECT_EQ(home->templateName, "dark");
    EXPECT_EQ(home->galleries, (std::vector<GalleryRef>{{"rome", true}, {"oslo", false}}));
    EXPECT_FALSE(home->homeName.has_value());
    EXPECT_EQ(HomeManifest::decode(home->encoded()), home);

    home->homeName = "trips.example.com";
    const std::string text = home->encoded();
    EXPECT_NE(text.find("\"updated\": \"2026-12-05T09:54:35Z\",\n  \"homeName\": \"trips.example.com\"\n}"),
              std::string::npos);
    EXPECT_LT(text.find("\"template\""), text.find("\"language\""));
    EXPECT_LT(text.find("\"language\""), text.find("\"galleries\""));
    EXPECT_EQ(HomeManifest::decode(text), home);
}

TEST(HomeManifestTest, KindIsNotCheckedAndNullHomeNameIsAbsent) {
    auto json = json::Json::parse(validHome);
    json["kind"] = "gallery";
    json["homeName"] = nullptr;
    auto home = HomeManifest::fromJson(json);
    ASSERT_TRUE(home);
    EXPECT_EQ(home->kind, "gallery");
    EXPECT_FALSE(home->homeName.has_value());
}

TEST(HomeManifestTest, RejectsWholeManifestOnOneBadMember) {
    auto json = json::Json::parse(validHome);
    const std::vector<std::pair<const char*, json::Json>> broken{
        {"homeName", 5}, {"galleries", "rome"}, {"galleries", json::Json::array({{{"path", "rome"}}})},
        {"galleries", json::Json::array({{{"path", "rome"}, {"included", "yes"}}})},
        {"galleries", json::Json::array({"rome"})}, {"template", nullptr},
    };
    for (const auto& [key, value] : broken) {
        json::Json changed = json;
        changed[key] = value;
        EXPECT_FALSE(HomeManifest::fromJson(changed)) << key << " = " << value.dump();
    }
    for (const char* key : {"app", "kind", "title", "description", "template", "language", "galleries", "updated"}) {
        json::Json changed = json;
        changed.erase(key);
        EXPECT_FALSE(HomeManifest::fromJson(changed)) << "without " << key;
    }
}

}  // namespace
}  // namespace lf::home

// The build manifest: compact text that the next build reads back exactly, and a reader that
// refuses a damaged manifest whole, so a bad entry never makes the build reuse files it did not make.
#include <gtest/gtest.h>

#include "builder/build_manifest.hpp"

namespace lf::builder {
namespace {

BuiltEntry pictureEntry() {
    BuiltEntry entry;
    entry.source = "Beach Day.JPG";
    entry.stamp = {1700000000123, 2048576};
    entry.sig = "220|1600|85||40|true|mac1";
    entry.kind = model::MediaKind::image;
    entry.display = "images/beach-day.jpg";
    entry.w = 1600;
    entry.h = 1067;
    entry.original = "originals/beach-day.jpg";
    entry.files = {"thumbs/beach-day.jpg", "images/beach-day.jpg", "originals/beach-day.jpg"};
    return entry;
}

BuiltEntry soundEntry() {
    BuiltEntry entry;
    entry.source = "song.mp3";
    entry.stamp = {-1500, 0};
    entry.sig = "220|1600|85||40|false|mac1";
    entry.kind = model::MediaKind::audio;
    entry.display = "media/song.mp3";
    entry.files = {"thumbs/song.jpg", "media/song.mp3"};
    return entry;
}

TEST(BuildManifestTest, WritesCompactTextInFieldOrder) {
    BuildManifest manifest;
    manifest.items["song"] = soundEntry();
    EXPECT_EQ(manifest.encoded(),
              R"({"version":"mac-1.0","items":{"song":{"source":"song.mp3","stamp":[-1500,0],)"
              R"("sig":"220|1600|85||40|false|mac1","kind":"audio","display":"media/song.mp3",)"
              R"("files":["thumbs/song.jpg","media/song.mp3"]}}})");
}

TEST(BuildManifestTest, RoundTripsEveryField) {
    BuildManifest manifest;
    manifest.items["beach-day"] = pictureEntry();
    manifest.items["song"] = soundEntry();
    EXPECT_EQ(BuildManifest::decode(manifest.encoded()), manifest);
}

TEST(BuildManifestTest, OptionalMembersMayBeMissingOrNullAndVersionIsNotChecked) {
    auto decoded = BuildManifest::decode(
        R"({"version":"other","items":{"a":{"source":"a.gif","stamp":[1,2],"sig":"s","kind":"image",)"
        R"("display":"images/a.gif","w":null,"files":["thumbs/a.jpg","images/a.gif"],"extra":true}}})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->version, "other");
    const BuiltEntry& entry = decoded->items.at("a");
    EXPECT_FALSE(entry.w || entry.h || entry.original);
    EXPECT_EQ(entry.files.size(), 2u);
}

TEST(BuildManifestTest, ADamagedEntryMakesTheWholeManifestUnreadable) {
    BuildManifest manifest;
    manifest.items["beach-day"] = pictureEntry();
    manifest.items["song"] = soundEntry();
    const json::Json good = json::Json::parse(manifest.encoded());

    const std::vector<std::pair<const char*, json::Json>> broken{
        {"stamp", json::Json::array({1})}, {"stamp", json::Json::array({1, "2"})}, {"stamp", json::Json::array({1, 2.5})},
        {"kind", "picture"}, {"w", "1600"}, {"h", 10000000000LL}, {"original", 3}, {"files", "thumbs/x.jpg"},
        {"files", json::Json::array({1})}, {"sig", nullptr}, {"source", false},
    };
    for (const auto& [key, value] : broken) {
        json::Json changed = good;
        changed["items"]["song"][key] = value;
        EXPECT_FALSE(BuildManifest::decode(changed.dump())) << key << " = " << value.dump();
    }
    for (const char* key : {"source", "stamp", "sig", "kind", "display", "files"}) {
        json::Json changed = good;
        changed["items"]["beach-day"].erase(key);
        EXPECT_FALSE(BuildManifest::decode(changed.dump())) << "without " << key;
    }
    for (const char* text : {"", "{", "[]", R"({"items":{}})", R"({"version":"mac-1.0"})",
                             R"({"version":"mac-1.0","items":[]})", R"({"version":"mac-1.0","items":{"a":1}})"}) {
        EXPECT_FALSE(BuildManifest::decode(text)) << text;
    }
}

}  // namespace
}  // namespace lf::builder

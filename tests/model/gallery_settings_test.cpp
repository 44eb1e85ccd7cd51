#include "model/gallery_settings.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/error.hpp"

namespace lf::model {
namespace {

using json::Json;

TEST(GallerySettings, EmptyObjectDecodesToDefaults) {
    const GallerySettings decoded = GallerySettings::fromJson(Json::parse("{}"));
    EXPECT_EQ(decoded, GallerySettings{});
    EXPECT_EQ(decoded.title, "My Gallery");
    EXPECT_EQ(decoded.ftpDir, "/");
    EXPECT_TRUE(decoded.ftpTLS);
    EXPECT_TRUE(decoded.captionsOnIndex);
}

TEST(GallerySettings, NonObjectIsADecodingError) {
    for (const char* text : {"[]", "null", "\"settings\"", "42", "true"}) {
        EXPECT_THROW(GallerySettings::fromJson(Json::parse(text)), lf::Error) << text;
    }
}

TEST(GallerySettings, MistypedKeyKeepsItsDefaultWhileTheOthersDecode) {
    const GallerySettings decoded = GallerySettings::fromJson(Json::parse(R"({
        "title": "Rome", "per_page": "24", "quality": 90, "reverse": "true", "template": null,
        "thumb_size": 180.5, "description": 7, "locked": 1, "cover": ["a.jpg"], "sort": "date",
        "language": "fr", "show_filename": true, "unknown_key": "ignored"
    })"));
    EXPECT_EQ(decoded.title, "Rome");
    EXPECT_EQ(decoded.perPage, 0);              // a string, not a number
    EXPECT_EQ(decoded.quality, 90);
    EXPECT_FALSE(decoded.reverse);              // a string, not a bool
    EXPECT_EQ(decoded.templateName, "classic");  // null
    EXPECT_EQ(decoded.thumbSize, 220);          // a fraction is not an integer
    EXPECT_EQ(decoded.galleryDescription, "");  // a number, not a text
    EXPECT_FALSE(decoded.locked);               // 1 is not a bool
    EXPECT_EQ(decoded.coverName, "");
    EXPECT_EQ(decoded.sort, "date");
    EXPECT_EQ(decoded.language, "fr");
    EXPECT_TRUE(decoded.showFilename);
}

struct NormalizeCase {
    const char* json;
    std::function<bool(const GallerySettings&)> holds;
    const char* what;
};

TEST(GallerySettings, DecodingNormalizesRangesAndWords) {
    const std::vector<NormalizeCase> cases = {
        {R"({"thumb_size": 10})", [](const GallerySettings& s) { return s.thumbSize == 60; }, "thumb below range"},
        {R"({"thumb_size": 801})", [](const GallerySettings& s) { return s.thumbSize == 800; }, "thumb above range"},
        {R"({"thumb_size": 60})", [](const GallerySettings& s) { return s.thumbSize == 60; }, "thumb at lower end"},
        {R"({"image_size": 20000})", [](const GallerySettings& s) { return s.imageSize == 8000; }, "image above range"},
        {R"({"image_size": 299})", [](const GallerySettings& s) { return s.imageSize == 300; }, "image below range"},
        {R"({"quality": 0})", [](const GallerySettings& s) { return s.quality == 30; }, "quality below range"},
        {R"({"quality": 101})", [](const GallerySettings& s) { return s.quality == 100; }, "quality above range"},
        {R"({"watermark_opacity": -5})", [](const GallerySettings& s) { return s.watermarkOpacity == 0; }, "opacity below"},
        {R"({"watermark_opacity": 150})", [](const GallerySettings& s) { return s.watermarkOpacity == 100; }, "opacity above"},
        {R"({"per_page": 10001})", [](const GallerySettings& s) { return s.perPage == 10000; }, "per page above"},
        {R"({"per_page": -3})", [](const GallerySettings& s) { return s.perPage == 0; }, "per page below"},
        {R"({"per_page": 12})", [](const GallerySettings& s) { return s.perPage == 12; }, "per page in range"},
        {R"({"image_size": 99999999999999})", [](const GallerySettings& s) { return s.imageSize == 8000; }, "beyond int"},
        {R"({"quality": -99999999999999})", [](const GallerySettings& s) { return s.quality == 30; }, "below int"},
        {R"({"image_size": 18446744073709551615})", [](const GallerySettings& s) { return s.imageSize == 1600; }, "beyond int64"},
        {R"({"template": "Dark"})", [](const GallerySettings& s) { return s.templateName == "classic"; }, "template case"},
        {R"({"template": "minimal"})", [](const GallerySettings& s) { return s.templateName == "minimal"; }, "template ok"},
        {R"({"language": "es"})", [](const GallerySettings& s) { return s.language == "en"; }, "Spanish"},
        {R"({"language": "nl"})", [](const GallerySettings& s) { return s.language == "nl"; }, "Dutch"},
        {R"({"sort": "random"})", [](const GallerySettings& s) { return s.sort == "name"; }, "unknown sort"},
        {R"({"sort": "manual"})", [](const GallerySettings& s) { return s.sort == "manual"; }, "manual sort"},
        {R"({"title": "  spaced  "})", [](const GallerySettings& s) { return s.title == "  spaced  "; }, "no trimming"},
    };
    for (const NormalizeCase& c : cases) {
        EXPECT_TRUE(c.holds(GallerySettings::fromJson(Json::parse(c.json)))) << c.what << ": " << c.json;
    }
}

TEST(GallerySettings, NormalizeChangesOnlyWhatIsOutOfRange) {
    GallerySettings s;
    s.thumbSize = 10;
    s.language = "de";
    s.watermark = "  © Me ";
    GallerySettings expected = s;
    expected.thumbSize = 60;
    s.normalize();
    EXPECT_EQ(s, expected);
}

TEST(GallerySettings, EncodesAllKeysInTheFileOrder) {
    const std::vector<std::string> expectedKeys = {
        "title", "template", "language", "sort", "reverse", "description", "per_page", "captions_on_index",
        "show_date", "show_filename", "allow_download", "open_browser", "thumb_size", "image_size", "quality",
        "watermark", "watermark_opacity", "ftp_host", "ftp_user", "ftp_dir", "ftp_tls", "cf_account_id",
        "cf_site_name", "cf_last_url", "cf_domain", "cover", "locked"};
    const Json encoded = GallerySettings{}.toJson();
    std::vector<std::string> keys;
    for (auto it = encoded.begin(); it != encoded.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_TRUE(encoded["reverse"].is_boolean());
    EXPECT_TRUE(encoded["per_page"].is_number_integer());
    EXPECT_TRUE(encoded["cover"].is_string());
}

TEST(GallerySettings, EveryFieldSurvivesEncodeAndDecode) {
    GallerySettings s;
    s.title = "Été à Roma";
    s.galleryDescription = "Two weeks\nin Rome";
    s.templateName = "dark";
    s.language = "it";
    s.sort = "date";
    s.reverse = true;
    s.perPage = 30;
    s.captionsOnIndex = false;
    s.showDate = false;
    s.showFilename = true;
    s.allowDownload = true;
    s.openBrowser = false;
    s.thumbSize = 300;
    s.imageSize = 2048;
    s.quality = 77;
    s.watermark = "© Anna";
    s.watermarkOpacity = 65;
    s.ftpHost = "ftp.example.org";
    s.ftpUser = "anna";
    s.ftpDir = "/www/rome";
    s.ftpTLS = false;
    s.cfAccountID = "0123abcd";
    s.cfSiteName = "rome-2024";
    s.cfLastURL = "https://rome-2024.anna.workers.dev";
    s.cfDomain = "rome.example.org";
    s.coverName = "IMG_0042.jpg";
    s.locked = true;
    EXPECT_EQ(GallerySettings::fromJson(Json::parse(s.toJson().dump())), s);
}

}  // namespace
}  // namespace lf::model

// Photo details: the date taken and the caption, from pictures tagged by exiftool.
#include "model/photo_details.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "model/project.hpp"
#include "model/support/fixtures.hpp"

namespace lf::model {
namespace {

using lf::testing::ScopedTimeZone;
using lf::testing::TemporaryFolder;
using lf::testing::utc;

TEST(ExifDate, IsReadAsLocalTimeOfTheCurrentZone) {
    struct Case {
        const char* zone;
        std::string text;
        std::optional<TimePoint> expected;
    };
    const std::vector<Case> cases = {
        {"Europe/Berlin", "2023:07:14 18:05:09", utc(2023, 7, 14, 16, 5, 9)},
        {"Europe/Berlin", "2023:01:14 18:05:09", utc(2023, 1, 14, 17, 5, 9)},
        {"America/New_York", "2023:07:14 18:05:09", utc(2023, 7, 14, 22, 5, 9)},
        {"UTC", "2023:07:14 18:05:09", utc(2023, 7, 14, 18, 5, 9)},
        {"Europe/Berlin", "2023:07:14 18:05:09.123+02:00", utc(2023, 7, 14, 16, 5, 9)},
        {"Europe/Berlin", "2023:07:14 18:05:09Z", utc(2023, 7, 14, 16, 5, 9)},
        {"Europe/Berlin", " \t2023:07:14 18:05:09 \t", utc(2023, 7, 14, 16, 5, 9)},
        {"Europe/Berlin", std::string("2023:07:14 18:05:09\0", 20), utc(2023, 7, 14, 16, 5, 9)},
        {"Europe/Berlin", "2024:02:29 12:00:00", utc(2024, 2, 29, 11, 0, 0)},
        {"Europe/Berlin", "1999:12:31 23:59:59", utc(1999, 12, 31, 22, 59, 59)},
        {"UTC", "1680:01:01 12:00:00", utc(1680, 1, 1, 12, 0, 0)},
        {"UTC", "1012:03:04 05:06:07", std::nullopt},
        {"UTC", "9999:12:31 23:59:59", std::nullopt},
        {"Europe/Berlin", "0000:00:00 00:00:00", std::nullopt},
        {"Europe/Berlin", "                   ", std::nullopt},
        {"Europe/Berlin", "", std::nullopt},
        {"Europe/Berlin", "2023:02:29 12:00:00", std::nullopt},
        {"Europe/Berlin", "2023:13:01 12:00:00", std::nullopt},
        {"Europe/Berlin", "2023:07:14 24:00:00", std::nullopt},
        {"Europe/Berlin", "2023:07:14 18:60:00", std::nullopt},
        {"Europe/Berlin", "2023-07-14 18:05:09", std::nullopt},
        {"Europe/Berlin", "2023:07:14T18:05:09", std::nullopt},
        {"Europe/Berlin", "2023:07:14 18:05", std::nullopt},
        {"Europe/Berlin", "2023:7:14 18:05:09", std::nullopt},
        {"Europe/Berlin", "\n2023:07:14 18:05:09", std::nullopt},
        {"Europe/Berlin", "２０２３:07:14 18:05:09", std::nullopt},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(parseExifDate(c.text), c.expected) << c.zone << " “" << c.text << "”";
    }
}

TEST(ExifDate, TimeInADaylightSavingGapStillGivesADate) {
    // Cameras without zone rules show 02:30 on the night clocks spring forward.
    ScopedTimeZone zone("Europe/Berlin");
    const auto date = parseExifDate("2023:03:26 02:30:00");
    ASSERT_TRUE(date);
    EXPECT_GE(*date, utc(2023, 3, 26, 0, 30, 0));
    EXPECT_LE(*date, utc(2023, 3, 26, 1, 30, 0));
}

TEST(Caption, IsCleanedAndCameraDefaultsAreDropped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string("OLYMPUS DIGITAL CAMERA  \0\0\0\0\0\0", 30), ""},
        {"olympus digital camera", ""},
        {" SONY DSC ", ""},
        {"Digital Camera", ""},
        {"DCIM", ""}, {"default", ""}, {"SAMSUNG", ""}, {"camera", ""}, {"Image", ""},
        {"", ""},
        {"  \n\t ", ""},
        {"Sunset over Olympus", "Sunset over Olympus"},
        {"OLYMPUS DIGITAL CAMERA 2", "OLYMPUS DIGITAL CAMERA 2"},
        {std::string("\0\0Padded at the front\0\0", 23), "Padded at the front"},
        {std::string("Mid\0dle", 7), "Middle"},
        {"\r\n  Two lines\nof text \r\n", "Two lines\nof text"},
        {"\u00a0Non-breaking\u3000", "Non-breaking"},
        {"Caf\xe9 de Flore", "Café de Flore"},
        {"Ωραίο ηλιοβασίλεμα", "Ωραίο ηλιοβασίλεμα"},
    };
    for (const auto& [raw, expected] : cases) {
        EXPECT_EQ(cleanedCaption(raw), expected) << "“" << raw << "”";
    }
}

// Pictures tagged once for the whole suite: one exiftool run is much faster than one per test.
class PhotoDetailsFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TemporaryFolder();
        auto& f = *folder_;
        const auto jpeg = [&](const char* name) {
            lf::testing::makePicture(f / name);
            return f / name;
        };
        lf::testing::writeWhole(f / "olympus.bin", std::string("OLYMPUS DIGITAL CAMERA  \0\0\0\0\0\0\0\0", 32));
        lf::testing::writeWhole(f / "latin1.bin", "Caf\xe9 au lait");
        lf::testing::makePicture(f / "plain.png");
        lf::testing::makePicture(f / "tagged.png");
        lf::testing::makePicture(f / "tagged.tif");
        lf::testing::makePicture(f / "tagged.webp");
        lf::testing::makePicture(f / "tagged.heic");
        lf::testing::makePicture(f / "square.heic", 64, 64);
        lf::testing::exiftool({
            {jpeg("full.jpg"), {"-DateTimeOriginal=2023:07:14 18:05:09", "-ModifyDate=2001:01:01 01:01:01",
                                "-Caption-Abstract=Harbour at dawn", "-ImageDescription=Not this one"}},
            {jpeg("subseconds.jpg"), {"-DateTimeOriginal=2023:07:14 18:05:09.123+02:00"}},
            {jpeg("zeros.jpg"), {"-DateTimeOriginal=0000:00:00 00:00:00", "-ModifyDate=2020:01:02 03:04:05"}},
            {jpeg("blanks.jpg"), {"-DateTimeOriginal=                   ", "-ModifyDate=2020:01:02 03:04:05"}},
            {jpeg("tiffdate.jpg"), {"-ModifyDate=2020:01:02 03:04:05", "-DateTimeDigitized=2019:01:01 00:00:00"}},
            {jpeg("digitized.jpg"), {"-DateTimeDigitized=2019:01:01 00:00:00"}},
            {jpeg("olympus.jpg"), {"-ImageDescription<=" + (f / "olympus.bin").string()}},
            {jpeg("emptyiptc.jpg"), {"-Caption-Abstract=   ", "-ImageDescription=Should not show"}},
            {jpeg("description.jpg"), {"-ImageDescription=  Lighthouse\n"}},
            {jpeg("latin1.jpg"), {"-ImageDescription<=" + (f / "latin1.bin").string()}},
            {jpeg("Фото ☀.jpg"), {"-DateTimeOriginal=2022:12:24 20:00:00", "-IPTC:CodedCharacterSet=UTF8", "-Caption-Abstract=Ёлка"}},
            {f / "tagged.png", {"-DateTimeOriginal=2021:01:02 03:04:05", "-ImageDescription=PNG words"}},
            {f / "tagged.tif", {"-ModifyDate=2019:05:06 07:08:09", "-ImageDescription=TIFF words"}},
            {f / "tagged.webp", {"-DateTimeOriginal=2018:01:02 03:04:05"}},
            // Two layouts of the HEIF item table: libheif writes a grid item for sizes that are not
            // whole tiles, which Exiv2 alone does not follow.
            {f / "tagged.heic", {"-DateTimeOriginal=2022:03:04 05:06:07", "-ImageDescription=HEIC words"}},
            {f / "square.heic", {"-DateTimeOriginal=2022:03:04 05:06:08"}},
        });
        // Damaged and foreign files.
        lf::testing::writeWhole(f / "text.jpg", "just some text, not a picture\n");
        const std::string full = lf::testing::readWhole(f / "full.jpg");
        lf::testing::writeWhole(f / "truncated.jpg", full.substr(0, 120));
        lf::testing::writeWhole(f / "empty.jpg", "");
        lf::testing::writeWhole(f / "text.heic", "not a HEIF file either");
        std::string scrambled = full;
        for (size_t i = 40; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5a);
        lf::testing::writeWhole(f / "scrambled.jpg", scrambled);
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static PhotoDetails read(const std::string& name) { return readPhotoDetails(*folder_ / name); }

    static TemporaryFolder* folder_;
    ScopedTimeZone zone_{"Europe/Berlin"};
};

TemporaryFolder* PhotoDetailsFiles::folder_ = nullptr;

TEST_F(PhotoDetailsFiles, ReadsDateAndCaptionFromTheRightGroups) {
    struct Case {
        const char* file;
        std::optional<TimePoint> date;
        const char* caption;
    };
    const std::vector<Case> cases = {
        {"full.jpg", utc(2023, 7, 14, 16, 5, 9), "Harbour at dawn"},
        {"subseconds.jpg", utc(2023, 7, 14, 16, 5, 9), ""},
        {"zeros.jpg", std::nullopt, ""},   // present as text: the TIFF date is not consulted
        {"blanks.jpg", std::nullopt, ""},
        {"tiffdate.jpg", utc(2020, 1, 2, 2, 4, 5), ""},
        {"digitized.jpg", std::nullopt, ""},
        {"olympus.jpg", std::nullopt, ""},
        {"emptyiptc.jpg", std::nullopt, ""},  // present IPTC text wins even when it cleans to nothing
        {"description.jpg", std::nullopt, "Lighthouse"},
        {"latin1.jpg", std::nullopt, "Café au lait"},
        {"Фото ☀.jpg", utc(2022, 12, 24, 19, 0, 0), "Ёлка"},
        {"plain.png", std::nullopt, ""},
        {"tagged.png", utc(2021, 1, 2, 2, 4, 5), "PNG words"},
        {"tagged.tif", utc(2019, 5, 6, 5, 8, 9), "TIFF words"},
        {"tagged.webp", utc(2018, 1, 2, 2, 4, 5), ""},
        {"tagged.heic", utc(2022, 3, 4, 4, 6, 7), "HEIC words"},
        {"square.heic", utc(2022, 3, 4, 4, 6, 8), ""},
    };
    for (const Case& c : cases) {
        const PhotoDetails details = read(c.file);
        EXPECT_EQ(details.date, c.date) << c.file;
        EXPECT_EQ(details.caption, c.caption) << c.file;
    }
}

TEST_F(PhotoDetailsFiles, BadFilesGiveNothingAndNeverThrow) {
    for (const char* name : {"text.jpg", "text.heic", "truncated.jpg", "empty.jpg", "scrambled.jpg", "missing.jpg", "olympus.bin"}) {
        PhotoDetails details;
        ASSERT_NO_THROW(details = read(name)) << name;
        EXPECT_EQ(details.caption, "") << name;
        if (std::string(name) != "scrambled.jpg") {
            EXPECT_FALSE(details.date) << name;
        }
    }
    EXPECT_NO_THROW(readPhotoDetails(folder_->path()));  // a folder
}

TEST_F(PhotoDetailsFiles, ReadsFromSeveralThreadsAtOnce) {
    const std::vector<std::string> files = {"full.jpg", "tagged.heic", "tagged.png", "Фото ☀.jpg", "scrambled.jpg",
                                            "tagged.tif", "latin1.jpg", "text.jpg"};
    std::vector<PhotoDetails> expected;
    for (const std::string& file : files) expected.push_back(read(file));
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                for (size_t i = 0; i < files.size(); ++i) {
                    const PhotoDetails details = read(files[i]);
                    if (details.date != expected[i].date || details.caption != expected[i].caption) ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST_F(PhotoDetailsFiles, DetailsGoIntoTheItem) {
    Item item;
    item.url = *folder_ / "full.jpg";
    item.modified = item.date = utc(2024, 1, 1, 0, 0, 0);
    applyPhotoDetails(item, read("full.jpg"));
    EXPECT_EQ(item.date, utc(2023, 7, 14, 16, 5, 9));
    EXPECT_TRUE(item.dateIsExif);
    EXPECT_EQ(item.exifCaption, "Harbour at dawn");
    EXPECT_TRUE(item.metadataLoaded);
    EXPECT_EQ(item.modified, utc(2024, 1, 1, 0, 0, 0));

    Item undated;
    undated.modified = undated.date = utc(2024, 1, 1, 0, 0, 0);
    undated.exifCaption = "stale";
    applyPhotoDetails(undated, read("plain.png"));
    EXPECT_EQ(undated.date, utc(2024, 1, 1, 0, 0, 0));
    EXPECT_FALSE(undated.dateIsExif);
    EXPECT_EQ(undated.exifCaption, "");
    EXPECT_TRUE(undated.metadataLoaded);
}

TEST(ReadMissingPhotoDetails, ReadsUnreadPicturesAndResortsByDate) {
    ScopedTimeZone zone("Europe/Berlin");
    TemporaryFolder folder;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) lf::testing::makePicture(folder / name);
    lf::testing::exiftool({
        {folder / "a.jpg", {"-DateTimeOriginal=2023:07:14 18:05:09"}},
        {folder / "b.jpg", {"-DateTimeOriginal=2021:07:14 18:05:09", "-Caption-Abstract=Bee"}},
        {folder / "c.jpg", {"-DateTimeOriginal=2022:07:14 18:05:09"}},
    });
    lf::testing::writeWhole(folder / "clip.mp4", "not really a movie");
    lf::testing::setModified(folder / "clip.mp4", utc(2022, 1, 1, 0, 0, 0));
    lf::testing::writeWhole(folder / "lanternfold.json", R"({"settings": {"sort": "date"}})");

    Project project(folder.path());
    readMissingPhotoDetails(project);
    std::vector<std::string> names;
    for (const Item& item : project.items) names.push_back(item.fileName());
    EXPECT_EQ(names, (std::vector<std::string>{"b.jpg", "clip.mp4", "c.jpg", "a.jpg"}));
    EXPECT_EQ(project.items[0].exifCaption, "Bee");
    for (const Item& item : project.items) EXPECT_TRUE(item.metadataLoaded) << item.fileName();
    EXPECT_FALSE(project.items[1].dateIsExif);

    // A rescan keeps what was read, so nothing is read twice.
    const Project before = project;
    project.reloadItems();
    EXPECT_EQ(project.items, before.items);
}

}  // namespace
}  // namespace lf::model

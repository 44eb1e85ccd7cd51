// The JPEG writer: no metadata of the source, the quality range, atomic replacement, its errors.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "media/decode_scaled.hpp"
#include "media/image_error.hpp"
#include "media/jpeg_writer.hpp"
#include "media/render_picture.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A photo as a phone would leave it: camera data, location, XMP and IPTC captions, a profile.
fs::path taggedPhoto(const TemporaryFolder& folder) {
    const fs::path photo = folder / "tagged.jpg";
    withRectangle(solid(800, 600, red), 400, 0, 400, 600, blue)
        .icc_export(Picture::option()->set("output_profile", "p3"))
        .jpegsave(photo.c_str());
    run("exiftool -q -overwrite_original -Make=Canon '-Model=Canon EOS R6' -SerialNumber=123456789 "
        "-DateTimeOriginal='2023:07:14 18:05:09' -GPSLatitude=52.5163 -GPSLatitudeRef=N -GPSLongitude=13.3777 "
        "-GPSLongitudeRef=E '-XMP-dc:Title=Secret place' '-XMP-dc:Creator=Jasper' '-IPTC:Caption-Abstract=Behind the gate' "
        "'-IPTC:City=Berlin' " + shellQuoted(photo));
    return photo;
}

TEST(WriteJPEG, CarriesNoMetadataOfTheSource) {
    TemporaryFolder folder;
    const fs::path photo = taggedPhoto(folder);
    const std::string before = capture("exiftool -G -s " + shellQuoted(photo));
    ASSERT_NE(before.find("GPSLatitude"), std::string::npos) << before;
    ASSERT_NE(before.find("[IPTC]"), std::string::npos) << before;
    ASSERT_NE(before.find("[XMP]"), std::string::npos) << before;
    ASSERT_NE(before.find("[ICC_Profile]"), std::string::npos) << before;

    const std::optional<ImageSource> source = ImageSource::open(photo);
    ASSERT_TRUE(source);
    const std::optional<Picture> decoded = decodeScaled(*source, 400);
    ASSERT_TRUE(decoded);
    // Both the plain picture and the rendered one: neither path may carry metadata through.
    const std::optional<Picture> rendered = renderPicture(*decoded, "© J", 60);
    ASSERT_TRUE(rendered);
    for (const Picture& picture : {*decoded, *rendered}) {
        const fs::path written = folder / "written.jpg";
        writeJPEG(picture, written, 85);
        const std::string after = capture("exiftool -G -s -a -u " + shellQuoted(written));
        for (const std::string group : {"[EXIF]", "[GPS]", "[XMP]", "[IPTC]", "[ICC_Profile]", "[MakerNotes]", "[Photoshop]"}) {
            EXPECT_EQ(after.find(group), std::string::npos) << group << " in\n" << after;
        }
        // The values are looked for in the picture's own tags only: the file's times and size, which
        // exiftool also prints, may well contain "52".
        std::string tags;
        std::istringstream lines(after);
        for (std::string line; std::getline(lines, line);) {
            if (!line.starts_with("[File]") && !line.starts_with("[System]") && !line.starts_with("[ExifTool]")) {
                tags += line + "\n";
            }
        }
        for (const std::string value : {"Canon", "52", "Secret place", "Behind the gate", "Berlin", "123456789"}) {
            EXPECT_EQ(tags.find(value), std::string::npos) << value << " in\n" << after;
        }
        // The raw bytes too: no APP1 Exif or XMP block, no Photoshop IRB (IPTC), no ICC profile.
        const std::string bytes = bytesOf(written);
        for (const std::string& marker : {std::string("Exif\0\0", 6), std::string("http://ns.adobe.com/xap"),
                                         std::string("Photoshop 3.0"), std::string("ICC_PROFILE")}) {
            EXPECT_EQ(bytes.find(marker), std::string::npos) << marker;
        }
        // The picture itself survives: colours as shown by the source.
        const Picture back = Picture::new_from_file(written.c_str());
        EXPECT_TRUE(near(pixel(back, 100, 150), red, 25)) << describe(pixel(back, 100, 150));
    }
}

TEST(WriteJPEG, QualityIsClampedToOneThroughHundred) {
    TemporaryFolder folder;
    // Noise, so that the quality shows in the file size.
    const Picture picture = Picture::bandjoin({Picture::gaussnoise(256, 256), Picture::gaussnoise(256, 256),
                                               Picture::gaussnoise(256, 256)})
                                .cast(VIPS_FORMAT_UCHAR)
                                .copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    auto written = [&](int quality) {
        const fs::path file = folder / (std::to_string(quality) + "-percent.jpg");
        writeJPEG(picture, file, quality);
        return bytesOf(file);
    };
    EXPECT_EQ(written(0), written(1));
    EXPECT_EQ(written(-20), written(1));
    EXPECT_EQ(written(150), written(100));
    EXPECT_NE(written(1), written(100));
    EXPECT_LT(written(1).size() * 4, written(100).size());
}

TEST(WriteJPEG, ReplacesAnExistingFileWholeAndLeavesNothingElse) {
    TemporaryFolder folder;
    const fs::path destination = folder / "slug.jpg";
    std::ofstream(destination) << "an older picture";
    writeJPEG(solid(40, 30, red), destination, 80);
    const Picture back = Picture::new_from_file(destination.c_str());
    EXPECT_EQ(back.width(), 40);
    EXPECT_EQ(back.height(), 30);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left beside the picture";
}

// While it lives, files of this process cannot grow beyond the given size: a write past it fails
// with EFBIG as on a full disk. It works for root too, which a read-only folder does not stop.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the write then fails instead of ending the process
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

// The sentence names the file and then gives the system's reason, so that a full disk or a missing
// folder can be told apart from a broken picture.
TEST(WriteJPEG, FailureNamesTheDestinationFileAndTheReason) {
    TemporaryFolder folder;
    fs::create_directory(folder / "a-folder.jpg");
    struct Case {
        fs::path destination;
        std::string message;
    };
    const Case cases[] = {
        {folder / "missing" / "beach.jpg", "Couldn’t write “beach.jpg”. No such file or directory."},
        {folder / "a-folder.jpg", "Couldn’t write “a-folder.jpg”. Is a directory."},
    };
    for (const Case& c : cases) {
        try {
            writeJPEG(solid(10, 10, red), c.destination, 80);
            ADD_FAILURE() << "no error for " << c.destination;
        } catch (const ImageError& error) {
            EXPECT_STREQ(error.what(), c.message.c_str());
        }
    }
}

TEST(WriteJPEG, DiskThatTakesNoMoreSaysSo) {
    TemporaryFolder folder;
    try {
        const FileSizeLimit limit(100);  // a JPEG's headers alone are longer
        writeJPEG(solid(400, 300, red), folder / "noise.jpg", 90);
        ADD_FAILURE() << "a picture larger than the limit was written";
    } catch (const ImageError& error) {
        EXPECT_STREQ(error.what(), "Couldn’t write “noise.jpg”. File too large.");
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 0) << "the half-written temporary file is removed";
}

TEST(ImageError, Texts) {
    EXPECT_STREQ(ImageError::unreadable("Holiday/IMG_0001.HEIC").what(), "Couldn’t read the picture “Holiday/IMG_0001.HEIC”.");
    EXPECT_STREQ(ImageError::unwritable("thumbs/beach.jpg").what(), "Couldn’t write “thumbs/beach.jpg”.");
    EXPECT_STREQ(ImageError::unwritable("beach.jpg", "No space left on device").what(),
                 "Couldn’t write “beach.jpg”. No space left on device.");
    const lf::Error& base = ImageError::unwritable("x.jpg");
    EXPECT_STREQ(base.what(), "Couldn’t write “x.jpg”.");
}

}  // namespace
}  // namespace lf::media

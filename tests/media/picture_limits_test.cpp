// Pictures whose header claims an enormous size (decompression bombs: a few hundred bytes that
// would decode to gigabytes) are refused before any pixel is decoded, while a real 200-megapixel
// panorama still opens and decodes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "media/decode_scaled.hpp"
#include "media/image_source.hpp"
#include "media/picture.hpp"
#include "media/support/media_fixtures.hpp"

namespace lf::media {
namespace {

using namespace testing;

void appendBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void appendLittleEndian16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendChunk(std::string& png, const std::string& type, const std::string& data) {
    appendBigEndian(png, static_cast<uint32_t>(data.size()));
    png += type + data;
    appendBigEndian(png, crc32(type + data));
}

// A PNG whose header says width × height RGB, followed by one tiny compressed block of zeros.
std::string pngClaiming(uint32_t width, uint32_t height) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", std::string("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9));
    appendChunk(png, "IEND", "");
    return png;
}

// A GIF whose screen and only image are width × height, with a few pixels of data.
std::string gifClaiming(uint16_t width, uint16_t height) {
    std::string gif = "GIF89a";
    appendLittleEndian16(gif, width);
    appendLittleEndian16(gif, height);
    gif += std::string("\x80\x00\x00", 3);                      // a global table of two colours
    gif += std::string("\x00\x00\x00\xff\xff\xff", 6);
    gif += '\x2c';                                              // the image
    appendLittleEndian16(gif, 0);
    appendLittleEndian16(gif, 0);
    appendLittleEndian16(gif, width);
    appendLittleEndian16(gif, height);
    gif += std::string("\x00\x02\x02\x44\x01\x00\x3b", 7);      // code size 2, one block, the end
    return gif;
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(PictureLimits, HeadersClaimingBillionsOfPixelsAreRefusedBeforeDecoding) {
    // The test reads the headers with libvips itself, before any media operation has started it.
    ASSERT_TRUE(initialize());
    TemporaryFolder folder;
    const struct {
        const char* name;
        std::string bytes;
    } bombs[] = {
        {"bomb.png", pngClaiming(60000, 60000)},
        {"bomb.gif", gifClaiming(60000, 60000)},
        {"wide.png", pngClaiming(900000, 400)},
    };
    for (const auto& bomb : bombs) {
        SCOPED_TRACE(bomb.name);
        const fs::path file = folder.path() / bomb.name;
        writeBytes(file, bomb.bytes);
        ASSERT_LT(bomb.bytes.size(), 200u);
        // libvips reads the claim from the header, so only the limit keeps the picture out.
        const vips::VImage header = vips::VImage::new_from_file(file.c_str());
        EXPECT_GT(static_cast<int64_t>(header.width()) * header.height(), maxPicturePixels);
        EXPECT_FALSE(ImageSource::open(file).has_value());
    }
}

TEST(PictureLimits, ATwoHundredMegapixelPanoramaStillDecodes) {
    TemporaryFolder folder;
    const fs::path file = folder.path() / "panorama.jpg";
    (vips::VImage::black(20000, 10000, vips::VImage::option()->set("bands", 3)) + 90)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .jpegsave(file.c_str());
    const std::optional<ImageSource> source = ImageSource::open(file);
    ASSERT_TRUE(source);
    EXPECT_EQ(orientedPixelSize(*source), (PixelSize{20000, 10000}));
    const std::optional<Picture> decoded = decodeScaled(*source, 1600);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width(), 1600);
    EXPECT_EQ(decoded->height(), 800);
}

}  // namespace
}  // namespace lf::media

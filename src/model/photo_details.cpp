#include "model/photo_details.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

#include <vips/vips.h>

// Exiv2 0.27 still declares its handles as std::auto_ptr, which the standard library keeps as a
// deprecated type; the warnings say nothing about this program.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include "model/project.hpp"
#include "model/read_only_file_io.hpp"
#include "platform/text.hpp"

namespace lf::model {

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

// Exiv2 needs its global set-up once before any thread reads: HEIC and AVIF are only opened after
// enableBMFF, the XMP toolkit must be initialised before concurrent use, and the library's own
// warnings would otherwise land on standard error for every odd file (the program writes no log).
void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

// The raw bytes of a text value, or nothing when the value is not text (a number, a rational, an
// undefined blob). ASCII values keep every byte, including NUL padding, so cleaning sees it all.
std::optional<std::string> textValue(const Exiv2::Value& value) {
    if (const auto* text = dynamic_cast<const Exiv2::StringValueBase*>(&value)) {
        if (value.typeId() == Exiv2::comment) return std::nullopt;
        return text->value_;
    }
    return std::nullopt;
}

template <typename Data, typename Key>
std::optional<std::string> textOf(Data& data, const char* key) {
    auto it = data.findKey(Key(key));
    if (it == data.end()) return std::nullopt;
    return textValue(it->value());
}

// Reads the four values from the first image's property groups. Throws whatever Exiv2 throws.
struct RawDetails {
    std::optional<std::string> dateText;
    std::optional<std::string> captionText;
};

RawDetails fromGroups(Exiv2::ExifData& exif, Exiv2::IptcData& iptc) {
    RawDetails raw;
    raw.dateText = textOf<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.DateTimeOriginal");
    if (!raw.dateText) raw.dateText = textOf<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.DateTime");
    raw.captionText = textOf<Exiv2::IptcData, Exiv2::IptcKey>(iptc, "Iptc.Application2.Caption");
    if (!raw.captionText) raw.captionText = textOf<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.ImageDescription");
    return raw;
}

RawDetails readRaw(const std::filesystem::path& file) {
    // A file I/O object of our own: handing Exiv2 a path would let it treat a name that looks like
    // an address as a remote file, and its FileIo would open the file three times.
    Exiv2::BasicIo::AutoPtr io(new ReadOnlyFileIo(file));
    if (!io->isopen()) return {};
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(io).release());
    if (!image) return {};
    image->readMetadata();
    return fromGroups(image->exifData(), image->iptcData());
}

bool isHeifFamily(const std::filesystem::path& file) {
    const std::string ext = text::lowerASCII(file.extension().string());
    return ext == ".heic" || ext == ".heif" || ext == ".avif";
}

struct VipsImageUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};

// Exiv2 0.27 understands only some layouts of the HEIF item table: files written by libheif with
// a base offset in every item (GIMP, darktable, ImageMagick exports) come back without Exif. For
// those, libvips (through libheif) finds the Exif block from the header alone, without decoding
// pixels, and Exiv2 decodes the block itself.
RawDetails readHeifExifThroughVips(const std::filesystem::path& file) {
    static const bool started = VIPS_INIT("lanternfold") == 0;
    if (!started) return {};
    std::unique_ptr<VipsImage, VipsImageUnref> image(
        vips_image_new_from_file(file.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!image) {
        vips_error_clear();
        return {};
    }
    const void* data = nullptr;
    size_t length = 0;
    if (vips_image_get_typeof(image.get(), VIPS_META_EXIF_NAME) == 0 ||
        vips_image_get_blob(image.get(), VIPS_META_EXIF_NAME, &data, &length) != 0) {
        vips_error_clear();
        return {};
    }
    const auto* bytes = static_cast<const Exiv2::byte*>(data);
    // The block may start with the "Exif\0\0" marker of a JPEG segment; the TIFF header follows.
    if (length >= 6 && std::memcmp(bytes, "Exif\0\0", 6) == 0) {
        bytes += 6;
        length -= 6;
    }
    if (length == 0 || length > UINT32_MAX) return {};
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::ExifParser::decode(exif, bytes, static_cast<uint32_t>(length));
    return fromGroups(exif, iptc);
}

#pragma GCC diagnostic pop

// Older cameras and editors write captions in Latin-1 without saying so. Text that is not valid
// UTF-8 is read as Latin-1, so every caption the program holds is valid UTF-8.
std::string asUTF8(std::string text) {
    if (text::isValidUTF8(text)) return text;
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Captions that cameras write on their own; they count as no caption.
constexpr std::array<std::string_view, 9> ignoredCaptions{
    "", "OLYMPUS DIGITAL CAMERA", "SONY DSC", "DIGITAL CAMERA", "DCIM", "DEFAULT", "SAMSUNG", "CAMERA", "IMAGE"};

bool isDigits(std::string_view text) {
    for (char c : text) if (c < '0' || c > '9') return false;
    return true;
}

int number(std::string_view text) {
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[static_cast<size_t>(month - 1)];
}

}  // namespace

std::optional<TimePoint> parseExifDate(std::string_view text) {
    // An ASCII value ends at its first NUL.
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::string date = text::trimmedSpacesAndTabs(text);
    // Cameras often add sub-seconds or a zone after the seconds; only the first 19 characters count.
    if (date.size() > 19) date.resize(19);
    if (date.size() != 19) return std::nullopt;
    const std::string_view d = date;
    if (d[4] != ':' || d[7] != ':' || d[10] != ' ' || d[13] != ':' || d[16] != ':') return std::nullopt;
    const std::array<std::string_view, 6> fields{d.substr(0, 4), d.substr(5, 2), d.substr(8, 2),
                                                 d.substr(11, 2), d.substr(14, 2), d.substr(17, 2)};
    for (std::string_view field : fields) if (!isDigits(field)) return std::nullopt;
    const int year = number(fields[0]), month = number(fields[1]), day = number(fields[2]);
    const int hour = number(fields[3]), minute = number(fields[4]), second = number(fields[5]);
    // The parse is strict: an all-zero date or an impossible day is no date at all.
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;

    // Camera dates carry no zone and are local time. mktime follows TZ and settles a wall time
    // that falls into a daylight-saving gap on a real moment instead of giving up.
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    errno = 0;
    const std::time_t moment = std::mktime(&parts);
    if (moment == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
    // The clock counts nanoseconds in 64 bits, about 292 years either side of 1970: a date beyond
    // (the year 1012 or 9999 of a damaged or made-up file) is no date at all, not an overflow.
    constexpr std::time_t reach =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max()).count();
    if (moment > reach || moment < -reach) return std::nullopt;
    return Clock::from_time_t(moment);
}

std::string cleanedCaption(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (char c : raw) if (c != '\0') text.push_back(c);
    text = text::trimmed(asUTF8(std::move(text)));
    const std::string upper = text::upperASCII(text);
    for (std::string_view ignored : ignoredCaptions) {
        if (upper == ignored) return {};
    }
    return text;
}

PhotoDetails readPhotoDetails(const std::filesystem::path& file) {
    prepareExiv2();
    RawDetails raw;
    try {
        raw = readRaw(file);
    } catch (...) {
        // Exiv2 throws for unreadable, unknown and damaged files alike; each means "no details".
        raw = {};
    }
    if (!raw.dateText && !raw.captionText && isHeifFamily(file)) {
        try {
            raw = readHeifExifThroughVips(file);
        } catch (...) {
            raw = {};
        }
    }
    PhotoDetails details;
    if (raw.dateText) details.date = parseExifDate(*raw.dateText);
    if (raw.captionText) details.caption = cleanedCaption(*raw.captionText);
    return details;
}

void applyPhotoDetails(Item& item, const PhotoDetails& details) {
    if (details.date) {
        item.date = *details.date;
        item.dateIsExif = true;
    }
    item.exifCaption = details.caption;
    item.metadataLoaded = true;
}

void readMissingPhotoDetails(Project& project) {
    for (Item& item : project.items) {
        if (item.metadataLoaded || item.kind != MediaKind::image) continue;
        applyPhotoDetails(item, readPhotoDetails(item.url));
    }
    if (project.settings.sort == "date") project.sortItems();
}

}  // namespace lf::model

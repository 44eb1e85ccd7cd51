#include "model/gallery_settings.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string_view>

#include "platform/error.hpp"

namespace lf::model {

namespace {

constexpr std::array<std::string_view, 3> templates{"classic", "dark", "minimal"};
constexpr std::array<std::string_view, 5> languages{"en", "fr", "de", "it", "nl"};
constexpr std::array<std::string_view, 3> sorts{"name", "date", "manual"};

template <size_t N>
void keepIfAllowed(std::string& value, const std::array<std::string_view, N>& allowed, const char* fallback) {
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) value = fallback;
}

void readText(const json::Json& object, const char* key, std::string& field) {
    if (auto value = json::optString(object, key)) field = std::move(*value);
}

void readBool(const json::Json& object, const char* key, bool& field) {
    if (auto value = json::optBool(object, key)) field = *value;
}

// A number beyond the range of int is pinned to the nearest end before normalize clamps it
// properly, so an absurdly large value still ends as the largest allowed one and never wraps.
void readInt(const json::Json& object, const char* key, int& field) {
    if (auto value = json::optInt(object, key)) {
        field = static_cast<int>(std::clamp<int64_t>(*value, INT_MIN, INT_MAX));
    }
}

}  // namespace

void GallerySettings::normalize() {
    thumbSize = std::clamp(thumbSize, 60, 800);
    imageSize = std::clamp(imageSize, 300, 8000);
    quality = std::clamp(quality, 30, 100);
    watermarkOpacity = std::clamp(watermarkOpacity, 0, 100);
    perPage = std::clamp(perPage, 0, 10000);
    keepIfAllowed(templateName, templates, "classic");
    keepIfAllowed(language, languages, "en");
    keepIfAllowed(sort, sorts, "name");
}

GallerySettings GallerySettings::fromJson(const json::Json& value) {
    if (!value.is_object()) throw Error("The gallery settings are not a JSON object.");
    GallerySettings s;
    readText(value, "title", s.title);
    readText(value, "description", s.galleryDescription);
    readText(value, "template", s.templateName);
    readText(value, "language", s.language);
    readText(value, "sort", s.sort);
    readBool(value, "reverse", s.reverse);
    readInt(value, "per_page", s.perPage);
    readBool(value, "captions_on_index", s.captionsOnIndex);
    readBool(value, "show_date", s.showDate);
    readBool(value, "show_filename", s.showFilename);
    readBool(value, "allow_download", s.allowDownload);
    readBool(value, "open_browser", s.openBrowser);
    readInt(value, "thumb_size", s.thumbSize);
    readInt(value, "image_size", s.imageSize);
    readInt(value, "quality", s.quality);
    readText(value, "watermark", s.watermark);
    readInt(value, "watermark_opacity", s.watermarkOpacity);
    readText(value, "ftp_host", s.ftpHost);
    readText(value, "ftp_user", s.ftpUser);
    readText(value, "ftp_dir", s.ftpDir);
    readBool(value, "ftp_tls", s.ftpTLS);
    readText(value, "cf_account_id", s.cfAccountID);
    readText(value, "cf_site_name", s.cfSiteName);
    readText(value, "cf_last_url", s.cfLastURL);
    readText(value, "cf_domain", s.cfDomain);
    readText(value, "cover", s.coverName);
    readBool(value, "locked", s.locked);
    s.normalize();
    return s;
}

json::Json GallerySettings::toJson() const {
    json::Json out = json::Json::object();
    out["title"] = title;
    out["template"] = templateName;
    out["language"] = language;
    out["sort"] = sort;
    out["reverse"] = reverse;
    out["description"] = galleryDescription;
    out["per_page"] = perPage;
    out["captions_on_index"] = captionsOnIndex;
    out["show_date"] = showDate;
    out["show_filename"] = showFilename;
    out["allow_download"] = allowDownload;
    out["open_browser"] = openBrowser;
    out["thumb_size"] = thumbSize;
    out["image_size"] = imageSize;
    out["quality"] = quality;
    out["watermark"] = watermark;
    out["watermark_opacity"] = watermarkOpacity;
    out["ftp_host"] = ftpHost;
    out["ftp_user"] = ftpUser;
    out["ftp_dir"] = ftpDir;
    out["ftp_tls"] = ftpTLS;
    out["cf_account_id"] = cfAccountID;
    out["cf_site_name"] = cfSiteName;
    out["cf_last_url"] = cfLastURL;
    out["cf_domain"] = cfDomain;
    out["cover"] = coverName;
    out["locked"] = locked;
    return out;
}

}  // namespace lf::model

#pragma once
#include <string>

#include "platform/json.hpp"

namespace lf::model {

// Everything the user sets for one gallery. No secret is ever part of it.
struct GallerySettings {
    std::string title = "My Gallery";
    std::string galleryDescription;
    std::string templateName = "classic";  // "template" in JSON; "classic", "dark" or "minimal"
    std::string language = "en";           // "en", "fr", "de", "it", "nl"
    std::string sort = "name";             // "name", "date", "manual"
    bool reverse = false;
    int perPage = 0;                       // 0 puts all items on one page
    bool captionsOnIndex = true;
    bool showDate = true;
    bool showFilename = false;
    bool allowDownload = false;
    bool openBrowser = true;
    int thumbSize = 220;
    int imageSize = 1600;
    int quality = 85;
    std::string watermark;
    int watermarkOpacity = 40;
    std::string ftpHost;
    std::string ftpUser;
    std::string ftpDir = "/";
    bool ftpTLS = true;
    std::string cfAccountID;
    std::string cfSiteName;
    std::string cfLastURL;
    std::string cfDomain;
    std::string coverName;  // "cover" in JSON
    bool locked = false;

    // Clamps the numbers into their ranges and replaces unknown template, language and sort values.
    void normalize();

    // Decodes with per-key leniency (a missing, null or mistyped key keeps its default), then
    // normalizes. Throws lf::Error when value is not a JSON object.
    static GallerySettings fromJson(const json::Json& value);

    // All 27 keys in the order the project file uses.
    json::Json toJson() const;

    bool operator==(const GallerySettings&) const = default;
};

}  // namespace lf::model

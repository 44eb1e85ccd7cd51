#include "home/home_site.hpp"

#include <optional>
#include <system_error>

#include "builder/html.hpp"
#include "builder/page_texts.hpp"
#include "builder/theme.hpp"
#include "home/gallery_manifest.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/lock_texts.hpp"

namespace lf::home {

namespace fs = std::filesystem;
using builder::htmlEscape;

namespace {

// The cards' rules, one per line, after the base stylesheet.
constexpr const char* cardRules =
    ".home-grid{max-width:1200px;margin:0 auto;padding:16px 16px 8px;display:grid;gap:28px;"
    "grid-template-columns:repeat(auto-fill,minmax(min(280px,100%),1fr))}\n"
    ".gcard{display:block;background:var(--card);padding:var(--frame);box-shadow:var(--shadow);"
    "border-radius:var(--radius);color:var(--fg);transition:transform .15s}\n"
    ".gcard:hover{text-decoration:none;transform:translateY(-3px)}\n"
    ".gcard img,.gcard .blank{display:block;width:100%;height:auto;aspect-ratio:4/3;object-fit:cover;"
    "border-radius:var(--radius);background:var(--line)}\n"
    ".gcard h2{font-family:var(--head);font-weight:normal;font-size:22px;line-height:1.25;margin:12px 4px 2px}\n"
    ".gcard p{margin:0 4px 6px;color:var(--muted);font-size:14px}\n"
    ".gcard .lock{display:inline-block;width:.8em;height:.8em;margin-right:.35em;vertical-align:-.05em;"
    "color:var(--muted)}\n";

std::string countParagraph(int64_t count, const builder::PageTexts& texts) {
    if (count == 1) return "<p>" + texts.itemsOne + "</p>";
    if (count >= 2) return "<p>" + builder::fillNumbers(texts.itemsMany, {count}) + "</p>";
    return {};  // an unknown or empty count says nothing rather than "0 items"
}

std::string card(const RemoteGallery& gallery, const HomeSettings& settings, const builder::PageTexts& texts) {
    std::string out = "<a class=\"gcard\" href=\"" + htmlEscape(gallery.url) + "\"><img src=\"" +
                      htmlEscape(gallery.coverURL) +
                      "\" alt=\"\" loading=\"lazy\" width=\"280\" height=\"210\"><h2>";
    if (gallery.locked) out += lockMark(publish::cloudflare::lockTexts(settings.language).heading);
    out += htmlEscape(gallery.title);
    out += "</h2>";
    out += countParagraph(gallery.count, texts);
    out += "</a>";
    return out;
}

// Every line feed replaced by a line break tag, after escaping.
std::string withLineBreaks(const std::string& escaped) {
    std::string out;
    for (char c : escaped) {
        if (c == '\n') {
            out += "<br>";
        } else {
            out += c;
        }
    }
    return out;
}

std::string galleryCountText(size_t count) {
    return count == 1 ? std::string("1 gallery") : std::to_string(count) + " galleries";
}

// The manifest as the build would write it now, keeping an earlier "updated" time when the earlier
// manifest in the folder says the same in every other member.
HomeManifest manifestFor(const HomeSettings& settings, const std::optional<HomeManifest>& previous,
                         std::chrono::system_clock::time_point now) {
    HomeManifest manifest;
    manifest.title = settings.title;
    manifest.description = settings.description;
    manifest.templateName = settings.templateName;
    manifest.language = settings.language;
    manifest.galleries = settings.galleries;
    manifest.homeName = settings.homeName;  // written also when empty
    if (previous) {
        HomeManifest sameTime = manifest;
        sameTime.updated = previous->updated;
        if (sameTime == *previous) return sameTime;
    }
    manifest.updated = isoTimestamp(now);
    return manifest;
}

}  // namespace

std::string lockMark(std::string_view label) {
    const std::string escaped = htmlEscape(label);
    return "<svg class=\"lock\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2.2\" "
           "stroke-linecap=\"round\" stroke-linejoin=\"round\" role=\"img\" aria-label=\"" +
           escaped + "\"><title>" + escaped +
           "</title><rect x=\"4\" y=\"11\" width=\"16\" height=\"10\" rx=\"2\"/>"
           "<path d=\"M8 11V7a4 4 0 0 1 8 0v4\"/></svg>";
}

std::string homeStylesheet(std::string_view templateName) {
    std::string css = ":root{";
    css += builder::themeVariables(templateName);
    css += "--thumb:280px}\n";
    css += builder::baseStylesheet();
    css += cardRules;
    return css;
}

std::string homePage(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                     std::chrono::system_clock::time_point now) {
    const builder::PageTexts& texts = builder::pageTexts(settings.language);
    std::string title = text::trimmed(settings.title);
    if (title.empty()) title = defaultHomeTitle;
    const std::string description = text::trimmed(settings.description);

    std::string page = builder::pageHead(settings.language, title, "", "");
    page += "<body class=\"index home\">\n<header class=\"site\"><h1>" + htmlEscape(title) + "</h1>";
    if (!description.empty()) page += "<p class=\"desc\">" + withLineBreaks(htmlEscape(description)) + "</p>";
    page += "<p class=\"count\">" + galleryCountText(galleries.size()) + "</p></header>\n";
    page += "<main class=\"home-grid\">\n";
    for (size_t i = 0; i < galleries.size(); ++i) {
        if (i > 0) page += "\n";
        page += card(galleries[i], settings, texts);
    }
    page += "\n</main>\n";
    page += "<footer>" + texts.madeWith + " · " + builder::longDate(now, texts) + "</footer>\n</body>\n</html>\n";
    return page;
}

fs::path buildSite(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries, const fs::path& folder,
                   std::chrono::system_clock::time_point now) {
    // Read before the folder goes, to keep the time of an unchanged manifest.
    std::optional<HomeManifest> previous;
    if (auto bytes = platform::readFileIfPossible(folder / HomeManifest::fileName)) {
        previous = HomeManifest::decode(*bytes);
    }

    std::error_code code;
    if (fs::exists(fs::symlink_status(folder, code))) {
        fs::remove_all(folder, code);
        if (code) throw platform::FileError("Couldn’t remove", folder, code);
    }
    fs::create_directories(folder, code);
    if (code) throw platform::FileError("Couldn’t create the folder", folder, code);

    platform::writeFileAtomically(folder / "style.css", homeStylesheet(settings.templateName));
    const fs::path index = folder / "index.html";
    platform::writeFileAtomically(index, homePage(settings, galleries, now));
    platform::writeFileAtomically(folder / HomeManifest::fileName, manifestFor(settings, previous, now).encoded());
    return index;
}

}  // namespace lf::home

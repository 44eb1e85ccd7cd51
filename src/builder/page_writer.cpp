#include "builder/page_writer.hpp"

#include <algorithm>

#include "builder/gallery_script.hpp"
#include "builder/html.hpp"
#include "builder/page_texts.hpp"
#include "builder/theme.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"

namespace lf::builder {

namespace {

using model::Item;
using model::MediaKind;

// U+2039 and U+203A, the arrows of item pages; U+2190 before the links back; U+00B7 between
// footer and meta parts; U+2013 between a caption and the gallery title.
constexpr std::string_view prevGlyph = "\u2039";
constexpr std::string_view nextGlyph = "\u203A";
constexpr std::string_view backArrow = "\u2190 ";
constexpr std::string_view dot = " \u00B7 ";
constexpr std::string_view dash = " \u2013 ";

std::string replaceLineFeeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') out += "<br>";
        else out += c;
    }
    return out;
}

std::string altText(const std::string& caption, const Item& item) {
    if (!caption.empty()) return firstLine(caption);
    return item.url.stem().string();
}


// Everything one call of writePages works from, computed once.
class SitePages {
public:
    SitePages(const model::Project& project, const std::vector<Item>& items, const BuiltEntries& entries,
              const std::optional<std::string>& homeURL, std::chrono::system_clock::time_point now)
        : settings_(project.settings), items_(items), entries_(entries),
          texts_(pageTexts(project.settings.language)) {
        title_ = resolvedTitle(project);
        const int count = static_cast<int>(items.size());
        perPage_ = settings_.perPage >= 1 ? settings_.perPage : std::max(count, 1);
        // An empty gallery still gets its one (empty) index page, so the site always has a start.
        pageCount_ = std::max(1, (count + perPage_ - 1) / perPage_);
        countText_ = count == 1 ? texts_.itemsOne : fillNumbers(texts_.itemsMany, {count});
        buildDate_ = longDate(now, texts_);
        if (homeURL && !homeURL->empty()) homeURL_ = *homeURL;
        captions_.reserve(items.size());
        for (const Item& item : items) captions_.push_back(project.shownCaption(item));
    }

    int pageCount() const { return pageCount_; }
    size_t itemCount() const { return items_.size(); }

    const BuiltEntry* entryFor(size_t index) const {
        const auto found = entries_.find(items_[index].slug);
        return found == entries_.end() ? nullptr : &found->second;
    }

    std::string indexPage(int page) const {
        std::string out = pageHead(settings_.language, title_, "", "");
        out += "<body class=\"index\">\n<header class=\"site\">";
        if (!homeURL_.empty()) {
            out += "<p class=\"allg\"><a href=\"" + htmlEscape(homeURL_) + "\">";
            out += backArrow;
            out += texts_.allGalleries + "</a></p>";
        }
        out += "<h1>" + htmlEscape(title_) + "</h1>";
        const std::string description = text::trimmed(settings_.galleryDescription);
        if (!description.empty()) {
            out += "<p class=\"desc\">" + replaceLineFeeds(htmlEscape(description)) + "</p>";
        }
        out += "<p class=\"count\">" + countText_ + "</p></header>\n";
        out += "<main class=\"grid\">\n";
        const size_t first = static_cast<size_t>(page) * static_cast<size_t>(perPage_);
        const size_t last = std::min(items_.size(), first + static_cast<size_t>(perPage_));
        for (size_t i = first; i < last; ++i) {
            if (i > first) out += "\n";
            out += cell(i);
        }
        out += "\n</main>\n";
        if (pageCount_ >= 2) {
            out += "<nav class=\"pager\" aria-label=\"" + texts_.pagesLabel + "\">";
            for (int m = 0; m < pageCount_; ++m) {
                const std::string number = std::to_string(m + 1);
                if (m == page) out += "<span aria-current=\"page\">" + number + "</span>";
                else out += "<a href=\"" + pageFileName(m) + "\">" + number + "</a>";
            }
            out += "</nav>\n";
        }
        out += "<footer>" + texts_.madeWith;
        out += dot;
        out += buildDate_ + "</footer>\n</body>\n</html>\n";
        return out;
    }

    // The page of the item at index; only called when the item has an entry.
    std::string itemPage(size_t index, const BuiltEntry& entry) const {
        const Item& item = items_[index];
        const std::string& caption = captions_[index];
        const std::string& slug = item.slug;
        const std::string up = "../" + pageFileName(static_cast<int>(index / static_cast<size_t>(perPage_)));
        const std::string prev = index == 0 ? "" : items_[index - 1].slug + ".html";
        const std::string next = index + 1 >= items_.size() ? "" : items_[index + 1].slug + ".html";

        std::string media;
        switch (item.kind) {
            case MediaKind::audio:
                media = "<img class=\"sound\" src=\"../thumbs/" + slug + ".jpg\" alt=\"\">"
                        "<audio controls preload=\"metadata\" src=\"../" + entry.display + "\"></audio>";
                break;
            case MediaKind::video:
                media = "<video controls preload=\"metadata\" playsinline poster=\"../thumbs/" + slug +
                        ".jpg\" src=\"../" + entry.display + "\"></video>";
                break;
            case MediaKind::image: {
                media = "<img src=\"../" + entry.display + "\" alt=\"" + htmlEscape(altText(caption, item)) + "\"";
                if (entry.w && entry.h) {
                    media += " width=\"" + std::to_string(*entry.w) + "\" height=\"" + std::to_string(*entry.h) + "\"";
                }
                media += ">";
                if (!next.empty()) media = "<a href=\"" + next + "\">" + media + "</a>";
                break;
            }
        }

        std::vector<std::string> parts;
        if (settings_.showDate && (item.dateIsExif || item.kind != MediaKind::image)) {
            parts.push_back(longDate(item.date, texts_));
        }
        if (settings_.showFilename) parts.push_back(htmlEscape(item.fileName()));
        if (settings_.allowDownload) {
            std::string path;
            if (entry.original) path = *entry.original;
            else if (item.kind != MediaKind::image) path = entry.display;
            if (!path.empty()) parts.push_back("<a href=\"../" + path + "\" download>" + texts_.download + "</a>");
        }
        std::string meta;
        if (!parts.empty()) {
            meta = "<span class=\"meta\">";
            for (size_t p = 0; p < parts.size(); ++p) {
                if (p > 0) meta += dot;
                meta += parts[p];
            }
            meta += "</span>";
        }
        std::string figcaption;
        if (!caption.empty() || !meta.empty()) {
            figcaption = "<figcaption>" + replaceLineFeeds(htmlEscape(caption)) + meta + "</figcaption>";
        }

        std::string prefetch;
        if (index + 1 < items_.size()) {
            const BuiltEntry* nextEntry = entryFor(index + 1);
            if (nextEntry && nextEntry->kind == MediaKind::image) {
                prefetch = "<link rel=\"prefetch\" href=\"../" + nextEntry->display + "\">\n";
            }
        }
        std::string pageTitle = title_;
        if (!caption.empty()) {
            pageTitle = firstLine(caption);
            pageTitle += dash;
            pageTitle += title_;
        }
        const std::string counter =
            fillNumbers(texts_.counter, {static_cast<long long>(index) + 1, static_cast<long long>(items_.size())});

        std::string out = pageHead(settings_.language, pageTitle, "../", prefetch);
        out += "<body class=\"item\" data-prev=\"" + prev + "\" data-next=\"" + next + "\" data-up=\"" + up + "\">\n";
        out += "<header class=\"bar\"><a class=\"up\" href=\"" + up + "\">";
        out += backArrow;
        out += htmlEscape(title_) + "</a>";
        out += "<span class=\"counter\">" + counter + "</span></header>\n";
        out += "<main class=\"stage\">\n";
        out += navLink(prev, "prev", texts_.previous, prevGlyph);
        out += "\n<figure>" + media + figcaption + "</figure>\n";
        out += navLink(next, "next", texts_.next, nextGlyph);
        out += "\n</main>\n<script src=\"../lanternfold.js\"></script>\n</body>\n</html>\n";
        return out;
    }

private:
    std::string cell(size_t index) const {
        const Item& item = items_[index];
        const std::string& caption = captions_[index];
        const std::string size = std::to_string(settings_.thumbSize);
        std::string out = "<a class=\"cell " + model::rawValue(item.kind) + "\" href=\"p/" + item.slug +
                          ".html\"><img src=\"thumbs/" + item.slug + ".jpg\" alt=\"" +
                          htmlEscape(altText(caption, item)) + "\" loading=\"lazy\" width=\"" + size +
                          "\" height=\"" + size + "\">";
        if (!caption.empty() && settings_.captionsOnIndex) {
            out += "<div class=\"cap\">" + htmlEscape(firstLine(caption)) + "</div>";
        }
        out += "</a>";
        return out;
    }

    const model::GallerySettings& settings_;
    const std::vector<Item>& items_;
    const BuiltEntries& entries_;
    const PageTexts& texts_;
    std::string title_;
    int perPage_ = 1;
    int pageCount_ = 1;
    std::string countText_;
    std::string buildDate_;
    std::string homeURL_;
    std::vector<std::string> captions_;
};

}  // namespace

std::string resolvedTitle(const model::Project& project) {
    const std::string title = text::trimmed(project.settings.title);
    if (!title.empty()) return title;
    std::filesystem::path name = project.folder.filename();
    if (name.empty()) name = project.folder.parent_path().filename();
    return name.string();
}

std::vector<std::string> writePages(const model::Project& project, const std::vector<model::Item>& items,
                                    const BuiltEntries& entries, const std::filesystem::path& output,
                                    const std::optional<std::string>& homeURL,
                                    std::chrono::system_clock::time_point now) {
    const SitePages site(project, items, entries, homeURL, now);
    std::vector<std::string> written;
    auto write = [&](const std::string& relative, std::string_view text) {
        platform::writeFileAtomically(output / relative, text);
        written.push_back(relative);
    };
    write("style.css", galleryStylesheet(project.settings.templateName, project.settings.thumbSize));
    write("lanternfold.js", galleryScript());
    for (int page = 0; page < site.pageCount(); ++page) write(pageFileName(page), site.indexPage(page));
    for (size_t index = 0; index < site.itemCount(); ++index) {
        if (const BuiltEntry* entry = site.entryFor(index)) {
            write("p/" + items[index].slug + ".html", site.itemPage(index, *entry));
        }
    }
    return written;
}

}  // namespace lf::builder

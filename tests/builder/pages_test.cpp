// The gallery pages, stylesheet and page texts. Exact page text is the contract, so most checks
// compare written files with golden files under golden/, written by hand from the page templates.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/gallery_script.hpp"
#include "builder/html.hpp"
#include "builder/page_texts.hpp"
#include "builder/page_writer.hpp"
#include "builder/theme.hpp"
#include "platform/files.hpp"
#include "support/temporary_folder.hpp"

namespace fs = std::filesystem;
using namespace std::chrono;
using lf::builder::BuiltEntries;
using lf::builder::BuiltEntry;
using lf::model::Item;
using lf::model::MediaKind;
using lf::model::Project;

namespace {

// Noon UTC falls on the same calendar day in every time zone from UTC-11 to UTC+11, so the dates
// below read the same whatever zone the tests run in.
system_clock::time_point noonUTC(int year, unsigned month, unsigned day) {
    return sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}} + hours{12};
}

const system_clock::time_point buildDate = noonUTC(2026, 12, 5);

fs::path freshOutput(const std::string& name) {
    const fs::path folder = lf::testing::programFolder() / ("pages-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder / "p");
    return folder;
}

std::string readText(const fs::path& path) { return lf::platform::readFile(path); }

fs::path goldenFolder() { return fs::path(LF_TEST_SOURCE_DIR) / "builder" / "golden"; }

// Compares whole texts, and on a difference names the first line that differs so a failure is
// readable without a diff tool.
void expectSameText(const std::string& actual, const std::string& expected, const std::string& what) {
    if (actual == expected) return;
    size_t line = 1;
    size_t start = 0;
    while (true) {
        const size_t endA = actual.find('\n', start);
        const size_t endE = expected.find('\n', start);
        const std::string a = actual.substr(start, endA == std::string::npos ? std::string::npos : endA - start);
        const std::string e = expected.substr(start, endE == std::string::npos ? std::string::npos : endE - start);
        if (a != e || endA != endE || endA == std::string::npos) {
            ADD_FAILURE() << what << " differs at line " << line << "\n  written: " << a << "\n  expected: " << e;
            return;
        }
        start = endA + 1;
        ++line;
    }
}

void expectGolden(const fs::path& output, const std::string& relative, const std::string& golden) {
    expectSameText(readText(output / relative), readText(goldenFolder() / golden), relative + " against " + golden);
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::vector<std::string> filesUnder(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) out.push_back(fs::relative(entry.path(), folder).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

Item makeItem(const std::string& fileName, MediaKind kind, const std::string& slug,
              system_clock::time_point date, bool dateIsExif = false, const std::string& exifCaption = "") {
    Item item;
    item.url = fs::path("/pictures/folder") / fileName;
    item.kind = kind;
    item.modified = date;
    item.date = date;
    item.dateIsExif = dateIsExif;
    item.exifCaption = exifCaption;
    item.metadataLoaded = true;
    item.slug = slug;
    return item;
}

BuiltEntry makeEntry(const Item& item, const std::string& display, std::optional<int> w = std::nullopt,
                     std::optional<int> h = std::nullopt, std::optional<std::string> original = std::nullopt) {
    BuiltEntry entry;
    entry.source = item.fileName();
    entry.kind = item.kind;
    entry.display = display;
    entry.w = w;
    entry.h = h;
    entry.original = original;
    entry.files = {"thumbs/" + item.slug + ".jpg", display};
    if (original) entry.files.push_back(*original);
    return entry;
}

struct Site {
    Project project;
    std::vector<Item> items;
    BuiltEntries entries;
};

// One picture without a date taken or caption, all settings at their defaults.
Site oneItemSite() {
    Site site;
    site.project.folder = "/pictures/Rome";
    site.project.settings.title = "Rome";
    site.items = {makeItem("IMG_0001.jpg", MediaKind::image, "img-0001", noonUTC(2025, 3, 1))};
    site.entries["img-0001"] = makeEntry(site.items[0], "images/img-0001.jpg", 1600, 1067);
    return site;
}

// Five items on three index pages: a picture with a date taken and a typed two-line caption and an
// original; a movie; a sound whose typed caption holds every escaped character and characters made
// of several code points; a picture that falls back to its own caption and has no size and no
// original; and a picture whose typed caption is empty and which has no entry of this build.
Site mixedSite(const std::string& language) {
    Site site;
    site.project.folder = "/pictures/Summer";
    auto& settings = site.project.settings;
    settings.title = "  Sea & Sky \n";
    settings.galleryDescription = "\nTwo weeks by the sea.\nPhotos & films <2026>  ";
    settings.language = language;
    settings.perPage = 2;
    settings.thumbSize = 180;
    settings.showDate = true;
    settings.showFilename = true;
    settings.allowDownload = true;
    site.items = {
        makeItem("Sunset.jpg", MediaKind::image, "sunset", noonUTC(2026, 7, 14), true, "Caption in the file"),
        makeItem("Harbour.mp4", MediaKind::video, "harbour", noonUTC(2026, 8, 1)),
        makeItem("Waves.m4a", MediaKind::audio, "waves", noonUTC(2026, 8, 2)),
        makeItem("Beach.jpg", MediaKind::image, "beach", noonUTC(2026, 8, 3), false, "  Beach day\n"),
        makeItem("Hidden.jpg", MediaKind::image, "hidden", noonUTC(2026, 8, 4), true, "Own caption"),
    };
    site.project.captions["Sunset.jpg"] = "Sunset\nover the bay";
    site.project.captions["Waves.m4a"] = " Waves & \"wind\" <loud> 'n' e\u0301 \U0001F44D\U0001F3FD\n\n";
    site.project.captions["Hidden.jpg"] = "";
    site.entries["sunset"] = makeEntry(site.items[0], "images/sunset.jpg", 1600, 1200, "originals/sunset.jpg");
    site.entries["harbour"] = makeEntry(site.items[1], "media/harbour.mp4");
    site.entries["waves"] = makeEntry(site.items[2], "media/waves.m4a");
    site.entries["beach"] = makeEntry(site.items[3], "images/beach.jpg");
    return site;
}

// count pictures named "Photo 01.jpg", … with slugs "photo-01", …, each with an entry.
Site numberedSite(int count, int perPage) {
    Site site;
    site.project.folder = "/pictures/Paged";
    site.project.settings.title = "Paged";
    site.project.settings.perPage = perPage;
    for (int n = 1; n <= count; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, count >= 100 ? "%03d" : "%02d", n);
        Item item = makeItem(std::string("Photo ") + number + ".jpg", MediaKind::image,
                             std::string("photo-") + number, noonUTC(2025, 1, 1));
        site.entries[item.slug] = makeEntry(item, "images/" + item.slug + ".jpg", 1200, 800);
        site.items.push_back(item);
    }
    return site;
}

std::vector<std::string> write(const Site& site, const fs::path& output,
                               const std::optional<std::string>& homeURL = std::nullopt) {
    return lf::builder::writePages(site.project, site.items, site.entries, output, homeURL, buildDate);
}

}  // namespace

TEST(Html, EscapesTheFiveCharactersAndNothingElse) {
    using lf::builder::htmlEscape;
    EXPECT_EQ(htmlEscape(R"(a&b<c>d"e'f)"), "a&amp;b&lt;c&gt;d&quot;e&#x27;f");
    EXPECT_EQ(htmlEscape("&amp;"), "&amp;amp;");
    // A decomposed é, a flag and an emoji with a skin tone pass through byte for byte.
    const std::string clusters = "e\u0301 \U0001F1EB\U0001F1F7 \U0001F44D\U0001F3FD \u2039";
    EXPECT_EQ(htmlEscape(clusters), clusters);
    EXPECT_EQ(htmlEscape(""), "");
}

// Linux file names may hold any bytes; the pages get U+FFFD where a browser would show one, one for
// each maximal broken sequence, so the page is valid UTF-8 and reads the same.
TEST(Html, BytesThatAreNotUTF8BecomeReplacementCharacters) {
    using lf::builder::htmlEscape;
    const std::string fffd = "\uFFFD";
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"caf\xE9.jpg", "caf" + fffd + ".jpg"},                 // Latin-1 é
        {"\xE2\x82<", fffd + "&lt;"},                          // a cut three-byte character before markup
        {"\xF0\x9F\x98", fffd},                                // a cut emoji at the end
        {"\xC0\xAF", fffd + fffd},                              // an overlong slash
        {"\xED\xA0\x80", fffd + fffd + fffd},                  // a surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},      // beyond U+10FFFF
        {"\x80\xBF&", fffd + fffd + "&amp;"},                   // lone continuation bytes
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},             // a whole emoji stays
    };
    for (const auto& test : cases) EXPECT_EQ(htmlEscape(test.in), test.out) << test.in;
}

TEST(Html, FirstLineFileNamesAndArrows) {
    using lf::builder::firstLine;
    EXPECT_EQ(firstLine("Sunset\nover the bay"), "Sunset");
    EXPECT_EQ(firstLine("\n\nSecond\nThird"), "Second");
    EXPECT_EQ(firstLine("\n\n"), "");
    EXPECT_EQ(firstLine(""), "");
    EXPECT_EQ(firstLine("one line"), "one line");

    EXPECT_EQ(lf::builder::pageFileName(0), "index.html");
    EXPECT_EQ(lf::builder::pageFileName(1), "index-2.html");
    EXPECT_EQ(lf::builder::pageFileName(9), "index-10.html");

    EXPECT_EQ(lf::builder::navLink("b.html", "next", "Next", "\u203A"),
              "<a class=\"nav next\" href=\"b.html\" aria-label=\"Next\" title=\"Next\">\u203A</a>");
    EXPECT_EQ(lf::builder::navLink("", "prev", "Previous", "\u2039"),
              "<span class=\"nav prev off\" aria-hidden=\"true\">\u2039</span>");
}

TEST(PageTexts, UnknownCodesGetEnglish) {
    const auto& english = lf::builder::pageTexts("en");
    EXPECT_EQ(english.madeWith, "Made with Lanternfold");
    for (const char* code : {"", "FR", "es", "english"}) {
        EXPECT_EQ(lf::builder::pageTexts(code), english) << code;
    }
    EXPECT_EQ(lf::builder::pageTexts("fr").download, "Télécharger l’original");
    EXPECT_EQ(lf::builder::pageTexts("nl").pagesLabel, "Pagina’s");
    EXPECT_EQ(lf::builder::fillNumbers(lf::builder::pageTexts("de").counter, {3, 12}), "3 von 12");
    EXPECT_EQ(lf::builder::fillNumbers("%d items", {25000}), "25000 items");
}

TEST(PageTexts, LongDatesByLanguage) {
    const struct {
        const char* language;
        const char* date;
    } cases[] = {{"en", "December 5, 2026"}, {"fr", "5 décembre 2026"}, {"de", "5. Dezember 2026"},
                 {"it", "5 dicembre 2026"},  {"nl", "5 december 2026"}, {"xx", "December 5, 2026"}};
    for (const auto& c : cases) {
        EXPECT_EQ(lf::builder::longDate(buildDate, lf::builder::pageTexts(c.language)), c.date) << c.language;
    }
}

TEST(Theme, StylesheetOfEachLook) {
    const struct {
        const char* templateName;
        int thumbSize;
        const char* golden;
    } cases[] = {{"classic", 220, "classic-220.css"}, {"dark", 160, "dark-160.css"},
                 {"minimal", 220, "minimal-220.css"}, {"Dark", 220, "classic-220.css"},
                 {"", 220, "classic-220.css"}};
    for (const auto& c : cases) {
        expectSameText(lf::builder::galleryStylesheet(c.templateName, c.thumbSize),
                       readText(goldenFolder() / "style" / c.golden),
                       std::string("style.css of “") + c.templateName + "”");
    }
    const std::string classic = lf::builder::themeVariables("classic");
    EXPECT_EQ(classic.rfind("--bg:#f3efe6;--fg:#2a2622;", 0), 0u);
    EXPECT_TRUE(classic.ends_with("--head:Georgia,'Times New Roman',serif;"));
    EXPECT_EQ(lf::builder::themeDeclarations("minimal").size(), 11u);
}

TEST(Pages, OneItemHasNoPagerNoArrowsAndAnUnwrappedPicture) {
    const fs::path output = freshOutput("one");
    const auto written = write(oneItemSite(), output);
    EXPECT_EQ(written, (std::vector<std::string>{"style.css", "lanternfold.js", "index.html", "p/img-0001.html"}));
    expectGolden(output, "index.html", "one/index.html");
    expectGolden(output, "p/img-0001.html", "one/p/img-0001.html");
    expectGolden(output, "style.css", "style/classic-220.css");
    EXPECT_EQ(readText(output / "lanternfold.js"), lf::builder::galleryScript());
}

TEST(Pages, MixedGalleryInEnglish) {
    const fs::path output = freshOutput("mixed-en");
    const Site site = mixedSite("en");
    const auto written = write(site, output, "https://home.example.com/?a=1&b=2");
    const std::vector<std::string> pages{"index.html",        "index-2.html",   "index-3.html",
                                         "p/sunset.html",     "p/harbour.html", "p/waves.html",
                                         "p/beach.html"};
    std::vector<std::string> expected{"style.css", "lanternfold.js"};
    expected.insert(expected.end(), pages.begin(), pages.end());
    // Hidden.jpg has no entry in this build, so it gets no page; Beach still links to where it would be.
    EXPECT_EQ(written, expected);
    for (const auto& page : pages) expectGolden(output, page, "mixed-en/" + page);

    // Nothing but the written files is left in the folder: no temporary files.
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(filesUnder(output), sorted);
}

class PagesInLanguage : public testing::TestWithParam<std::string> {};

TEST_P(PagesInLanguage, IndexAndMoviePage) {
    const std::string language = GetParam();
    const fs::path output = freshOutput("mixed-" + language);
    write(mixedSite(language), output, "https://home.example.com/?a=1&b=2");
    expectGolden(output, "index.html", "mixed-" + language + "/index.html");
    expectGolden(output, "p/harbour.html", "mixed-" + language + "/p/harbour.html");
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, PagesInLanguage, testing::Values("fr", "de", "it", "nl"));

TEST(Pages, CountTextForOneAndMoreItems) {
    const struct {
        const char* language;
        const char* one;
        const char* two;
    } cases[] = {{"en", "1 item", "2 items"},       {"fr", "1 élément", "2 éléments"},
                 {"de", "1 Element", "2 Elemente"}, {"it", "1 elemento", "2 elementi"},
                 {"nl", "1 item", "2 items"}};
    for (const auto& c : cases) {
        Site site = numberedSite(2, 1);
        site.project.settings.language = c.language;
        const fs::path output = freshOutput(std::string("count-") + c.language);
        write(site, output);
        EXPECT_NE(readText(output / "index-2.html").find(std::string("<p class=\"count\">") + c.two + "</p>"),
                  std::string::npos) << c.language;
        site.items.pop_back();
        write(site, output);
        EXPECT_NE(readText(output / "index.html").find(std::string("<p class=\"count\">") + c.one + "</p>"),
                  std::string::npos) << c.language;
    }
}

TEST(Pages, TwentyFiveItemsAtTenPerPage) {
    const fs::path output = freshOutput("paged");
    const auto written = write(numberedSite(25, 10), output);
    ASSERT_EQ(written.size(), 2u + 3u + 25u);
    EXPECT_EQ(std::vector<std::string>(written.begin() + 2, written.begin() + 5),
              (std::vector<std::string>{"index.html", "index-2.html", "index-3.html"}));
    EXPECT_EQ(written.back(), "p/photo-25.html");
    expectGolden(output, "index-2.html", "paged/index-2.html");
    for (const char* page : {"index.html", "index-2.html", "index-3.html"}) {
        EXPECT_EQ(countOf(readText(output / page), "<p class=\"count\">25 items</p>"), 1) << page;
    }
    EXPECT_EQ(countOf(readText(output / "index-3.html"), "<a class=\"cell"), 5);
    const struct {
        const char* page;
        const char* up;
    } ups[] = {{"p/photo-10.html", "data-up=\"../index.html\""},
               {"p/photo-11.html", "data-up=\"../index-2.html\""},
               {"p/photo-21.html", "data-up=\"../index-3.html\""}};
    for (const auto& u : ups) EXPECT_NE(readText(output / u.page).find(u.up), std::string::npos) << u.page;
    // The last item has no next page: its right arrow is hidden and its picture is not a link.
    const std::string last = readText(output / "p/photo-25.html");
    EXPECT_NE(last.find("data-prev=\"photo-24.html\" data-next=\"\""), std::string::npos);
    EXPECT_NE(last.find("<figure><img src=\"../images/photo-25.jpg\""), std::string::npos);
    EXPECT_NE(last.find("<span class=\"nav next off\" aria-hidden=\"true\">\u203A</span>"), std::string::npos);
}

TEST(Pages, AllItemsOnOnePage) {
    for (const int perPage : {0, -3}) {
        const fs::path output = freshOutput("all-on-one");
        const auto written = write(numberedSite(500, perPage), output);
        ASSERT_EQ(written.size(), 2u + 1u + 500u) << perPage;
        EXPECT_EQ(written[2], "index.html");
        const std::string index = readText(output / "index.html");
        EXPECT_EQ(countOf(index, "<a class=\"cell image\""), 500);
        EXPECT_EQ(index.find("class=\"pager\""), std::string::npos);
        EXPECT_NE(index.find("<p class=\"count\">500 items</p>"), std::string::npos);
        for (size_t i = 3; i < written.size(); ++i) {
            const std::string page = readText(output / written[i]);
            ASSERT_NE(page.find("data-up=\"../index.html\""), std::string::npos) << written[i];
        }
        EXPECT_NE(readText(output / "p/photo-500.html").find("<span class=\"counter\">500 of 500</span>"),
                  std::string::npos);
    }
}

TEST(Pages, TitleOfSpacesUsesTheFolderName) {
    Site site = oneItemSite();
    site.project.folder = "/pictures/Ferien 2024";
    site.project.settings.title = " \t\n  ";
    const fs::path output = freshOutput("spaces");
    write(site, output);
    const std::string index = readText(output / "index.html");
    EXPECT_NE(index.find("<title>Ferien 2024</title>"), std::string::npos);
    EXPECT_NE(index.find("<h1>Ferien 2024</h1>"), std::string::npos);
    const std::string item = readText(output / "p/img-0001.html");
    EXPECT_NE(item.find("<title>Ferien 2024</title>"), std::string::npos);
    EXPECT_NE(item.find("\u2190 Ferien 2024</a>"), std::string::npos);
}

TEST(Pages, EmptyHomeAddressGivesNoLinkBack) {
    const Site site = mixedSite("en");
    const fs::path without = freshOutput("home-absent");
    const fs::path empty = freshOutput("home-empty");
    write(site, without);
    write(site, empty, "");
    for (const char* page : {"index.html", "index-2.html", "index-3.html"}) {
        const std::string text = readText(empty / page);
        EXPECT_EQ(text.find("allg"), std::string::npos) << page;
        EXPECT_EQ(text, readText(without / page)) << page;
        // The same page as with a home page, minus exactly the paragraph of the link back.
        std::string withHome = readText(goldenFolder() / "mixed-en" / page);
        const std::string paragraph =
            "<p class=\"allg\"><a href=\"https://home.example.com/?a=1&amp;b=2\">\u2190 All galleries</a></p>";
        withHome.erase(withHome.find(paragraph), paragraph.size());
        EXPECT_EQ(text, withHome) << page;
    }
}

TEST(Pages, OptionsOffLeaveOutCapsMetaAndFigcaption) {
    Site site = mixedSite("en");
    auto& settings = site.project.settings;
    settings.captionsOnIndex = false;
    settings.showDate = false;
    settings.showFilename = false;
    settings.allowDownload = false;
    const fs::path output = freshOutput("options-off");
    write(site, output);
    for (const char* page : {"index.html", "index-2.html", "index-3.html"}) {
        EXPECT_EQ(readText(output / page).find("class=\"cap\""), std::string::npos) << page;
    }
    // Alt texts still come from the captions.
    EXPECT_NE(readText(output / "index.html").find("alt=\"Sunset\""), std::string::npos);
    EXPECT_NE(readText(output / "p/sunset.html").find("<figcaption>Sunset<br>over the bay</figcaption></figure>"),
              std::string::npos);
    EXPECT_NE(readText(output / "p/harbour.html").find("src=\"../media/harbour.mp4\"></video></figure>"),
              std::string::npos);
    for (const char* page : {"p/sunset.html", "p/harbour.html", "p/waves.html", "p/beach.html"}) {
        EXPECT_EQ(readText(output / page).find("class=\"meta\""), std::string::npos) << page;
    }
}

TEST(Pages, ReplacesEarlierFilesWhole) {
    const fs::path output = freshOutput("replace");
    lf::platform::writeFileAtomically(output / "index.html", std::string(100000, 'x'));
    write(oneItemSite(), output);
    expectGolden(output, "index.html", "one/index.html");
    EXPECT_EQ(filesUnder(output),
              (std::vector<std::string>{"index.html", "lanternfold.js", "p/img-0001.html", "style.css"}));
}

TEST(Pages, FirstFailedWriteStopsAndKeepsEarlierFiles) {
    // Without the p folder the first item page cannot be written; writePages creates no folders.
    const fs::path output = lf::testing::programFolder() / "pages-no-p";
    fs::remove_all(output);
    fs::create_directories(output);
    try {
        write(oneItemSite(), output);
        FAIL() << "expected a FileError";
    } catch (const lf::platform::FileError& error) {
        EXPECT_EQ(error.path(), output / "p/img-0001.html");
        EXPECT_NE(std::string(error.what()).find("p/img-0001.html"), std::string::npos);
    }
    EXPECT_EQ(filesUnder(output), (std::vector<std::string>{"index.html", "lanternfold.js", "style.css"}));
}

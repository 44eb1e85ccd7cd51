// The home page site: the exact page for a look and language other than the defaults, the count and
// title rules, the stylesheet's card rules, the manifest, and that a second build leaves nothing of
// the first behind.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "builder/theme.hpp"
#include "home/home_site.hpp"
#include "platform/files.hpp"
#include "support/temporary_folder.hpp"

namespace lf::home {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// Noon UTC, so the footer's date is the same in every time zone a test machine may use.
const system_clock::time_point buildTime = sys_days{year{2026} / December / day{5}} + hours{12};

RemoteGallery gallery(const std::string& name, const std::string& title, int64_t count, bool locked = false) {
    RemoteGallery g;
    g.siteName = name;
    g.title = title;
    g.url = "https://" + name + ".lf-test.workers.dev/";
    g.coverURL = "https://" + name + ".lf-test.workers.dev/cover.jpg";
    g.count = count;
    g.locked = locked;
    return g;
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        names.insert(fs::relative(entry.path(), folder).generic_string());
    }
    return names;
}

// Compares whole texts and names the first differing line, so a failure reads without a diff tool.
void expectSameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return;
    size_t start = 0;
    for (int line = 1;; ++line) {
        const size_t endA = actual.find('\n', start);
        const size_t endE = expected.find('\n', start);
        const std::string a = actual.substr(start, endA == std::string::npos ? std::string::npos : endA - start);
        const std::string e = expected.substr(start, endE == std::string::npos ? std::string::npos : endE - start);
        if (a != e || endA != endE || endA == std::string::npos) {
            ADD_FAILURE() << "differs at line " << line << "\n  written:  " << a << "\n  expected: " << e;
            return;
        }
        start = endA + 1;
    }
}

TEST(HomeSiteTest, FrenchDarkPageWithLockedGalleryAndEveryCountMatchesGolden) {
    lf::testing::TemporaryFolder root;
    HomeSettings settings;
    settings.title = "  Voyages & “Été”\n";
    settings.description = "\na\nb<c ";
    settings.templateName = "dark";
    settings.language = "fr";
    settings.homeName = "";
    settings.galleries = {{"rome", true}, {"solo", true}, {"vide", true}, {"hidden", false}};

    RemoteGallery rome = gallery("rome", "Rome <2026>", 12, true);
    rome.url = "https://rome.photos.example/";
    RemoteGallery solo = gallery("solo", "Solo", 1);
    solo.url = "https://solo.lf-test.workers.dev/?a=1&b=\"2\"";
    const fs::path folder = root.path() / "site";
    const fs::path index = buildSite(settings, {rome, solo, gallery("vide", "Vide", 0)}, folder, buildTime);

    EXPECT_EQ(index, folder / "index.html");
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"index.html", "style.css", "lanternfold-home.json"}));
    expectSameText(platform::readFile(index),
                   platform::readFile(fs::path(LF_TEST_SOURCE_DIR) / "home" / "golden" / "home-fr-dark.html"));

    // The manifest keeps the settings as stored, untrimmed, with the empty address label written.
    const auto manifest = HomeManifest::decode(platform::readFile(folder / "lanternfold-home.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->app, "Lanternfold");
    EXPECT_EQ(manifest->kind, "home");
    EXPECT_EQ(manifest->title, settings.title);
    EXPECT_EQ(manifest->description, settings.description);
    EXPECT_EQ(manifest->templateName, "dark");
    EXPECT_EQ(manifest->language, "fr");
    EXPECT_EQ(manifest->galleries, settings.galleries);
    EXPECT_EQ(manifest->updated, "2026-12-05T12:00:00Z");
    EXPECT_EQ(manifest->homeName, std::optional<std::string>(""));
}

TEST(HomeSiteTest, StylesheetIsThemeWithThumbSizeThenBaseThenTheSevenCardRules) {
    const std::string css = homeStylesheet("dark");
    const std::string head = ":root{" + builder::themeVariables("dark") + "--thumb:280px}\n" +
                             std::string(builder::baseStylesheet());
    ASSERT_EQ(css.substr(0, head.size()), head);
    EXPECT_EQ(css.substr(head.size()),
              ".home-grid{max-width:1200px;margin:0 auto;padding:16px 16px 8px;display:grid;gap:28px;"
              "grid-template-columns:repeat(auto-fill,minmax(min(280px,100%),1fr))}\n"
              ".gcard{display:block;background:var(--card);padding:var(--frame);box-shadow:var(--shadow);"
              "border-radius:var(--radius);color:var(--fg);transition:transform .15s}\n"
              ".gcard:hover{text-decoration:none;transform:translateY(-3px)}\n"
              ".gcard img,.gcard .blank{display:block;width:100%;height:auto;aspect-ratio:4/3;object-fit:cover;"
              "border-radius:var(--radius);background:var(--line)}\n"
              ".gcard h2{font-family:var(--head);font-weight:normal;font-size:22px;line-height:1.25;"
              "margin:12px 4px 2px}\n"
              ".gcard p{margin:0 4px 6px;color:var(--muted);font-size:14px}\n"
              ".gcard .lock{display:inline-block;width:.8em;height:.8em;margin-right:.35em;vertical-align:-.05em;"
              "color:var(--muted)}\n");
    // An unknown template looks like "classic".
    EXPECT_EQ(homeStylesheet("sepia"), homeStylesheet("classic"));
}

TEST(HomeSiteTest, TitleOfSpacesAndNoGalleriesGiveDefaultsInEnglish) {
    HomeSettings settings;
    settings.title = "   ";
    settings.description = " \n ";
    settings.language = "xx";  // unknown: English texts, the code kept in lang
    const std::string page = homePage(settings, {}, buildTime);
    EXPECT_NE(page.find("<html lang=\"xx\">"), std::string::npos);
    EXPECT_NE(page.find("<title>My Galleries</title>"), std::string::npos);
    EXPECT_NE(page.find("<header class=\"site\"><h1>My Galleries</h1><p class=\"count\">0 galleries</p></header>\n"
                        "<main class=\"home-grid\">\n\n</main>\n"
                        "<footer>Made with Lanternfold · December 5, 2026</footer>\n</body>\n</html>\n"),
              std::string::npos)
        << page;
}

TEST(HomeSiteTest, CountTextsFollowThePageLanguageButTheGalleryCountStaysEnglish) {
    struct Case {
        const char* language;
        int64_t count;
        const char* paragraph;  // "" for none
        const char* lockLabel;
    };
    const Case cases[] = {
        {"de", 12, "<p>12 Elemente</p>", "Passwortgeschützt"},
        {"fr", 1, "<p>1 élément</p>", "Protégée par mot de passe"},
        {"it", 2, "<p>2 elementi</p>", "Protetta da password"},
        {"nl", 0, "", "Beveiligd met wachtwoord"},
        {"en", -3, "", "Password protected"},
    };
    for (const Case& c : cases) {
        HomeSettings settings;
        settings.language = c.language;
        const std::string page = homePage(settings, {gallery("g", "G", c.count, true)}, buildTime);
        const std::string expected = std::string(lockMark(c.lockLabel)) + "G</h2>" + c.paragraph + "</a>";
        EXPECT_NE(page.find(expected), std::string::npos) << c.language << "\n" << page;
        EXPECT_NE(page.find("<p class=\"count\">1 gallery</p>"), std::string::npos) << c.language;
    }
}

TEST(HomeSiteTest, LockMarkEscapesItsLabel) {
    EXPECT_EQ(lockMark("A \"b\" & <c>"),
              "<svg class=\"lock\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2.2\" "
              "stroke-linecap=\"round\" stroke-linejoin=\"round\" role=\"img\" aria-label=\"A &quot;b&quot; &amp; "
              "&lt;c&gt;\"><title>A &quot;b&quot; &amp; &lt;c&gt;</title><rect x=\"4\" y=\"11\" width=\"16\" "
              "height=\"10\" rx=\"2\"/><path d=\"M8 11V7a4 4 0 0 1 8 0v4\"/></svg>");
}

TEST(HomeSiteTest, SecondBuildIntoTheSameFolderLeavesNothingOfTheFirst) {
    lf::testing::TemporaryFolder root;
    const fs::path folder = root.path() / "deep" / "site";
    HomeSettings settings;
    buildSite(settings, {gallery("a", "A", 3)}, folder, buildTime);
    platform::writeFileAtomically(folder / "stray.jpg", "x");
    fs::create_directories(folder / "old" / "pages");

    settings.title = "Second";
    buildSite(settings, {}, folder, buildTime);
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"index.html", "style.css", "lanternfold-home.json"}));
    EXPECT_NE(platform::readFile(folder / "index.html").find("<h1>Second</h1><p class=\"count\">0 galleries"),
              std::string::npos);
}

TEST(HomeSiteTest, UnchangedManifestKeepsItsTimeSoAnUnchangedHomePageSendsNothingNew) {
    lf::testing::TemporaryFolder root;
    const fs::path folder = root.path() / "site";
    HomeSettings settings;
    settings.galleries = {{"a", true}};
    buildSite(settings, {gallery("a", "A", 3)}, folder, buildTime);
    const std::string first = platform::readFile(folder / "lanternfold-home.json");

    buildSite(settings, {gallery("a", "A", 3)}, folder, buildTime + hours{30});
    EXPECT_EQ(platform::readFile(folder / "lanternfold-home.json"), first);

    settings.galleries = {{"a", false}};
    buildSite(settings, {}, folder, buildTime + hours{30});
    const auto changed = HomeManifest::decode(platform::readFile(folder / "lanternfold-home.json"));
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->updated, "2026-12-06T18:00:00Z");
}

TEST(HomeSiteTest, FolderThatCannotBeCreatedFailsWithTheFileError) {
    lf::testing::TemporaryFolder root;
    platform::writeFileAtomically(root.path() / "file", "x");
    try {
        buildSite(HomeSettings{}, {}, root.path() / "file" / "site", buildTime);
        FAIL() << "no error";
    } catch (const platform::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("file/site"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace lf::home

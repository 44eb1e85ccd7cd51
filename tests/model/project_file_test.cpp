// The project file: which file is read, how strictly, and exactly what is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/project.hpp"
#include "model/support/fixtures.hpp"
#include "platform/error.hpp"

namespace lf::model {
namespace {

using lf::testing::readWhole;
using lf::testing::TemporaryFolder;
using lf::testing::writeWhole;

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

const char* usableFile = R"({
  "settings": {"title": "Old Times", "sort": "manual"},
  "captions": {"a.jpg": "First"},
  "order": ["b.jpg", "a.jpg"],
  "output": "~/Sites/old"
})";

TEST(ProjectFile, MissingFileKeepsDefaultsWithTheFolderName) {
    TemporaryFolder scratch;
    std::filesystem::create_directory(scratch / "Holidays");
    const Project project(scratch / "Holidays");
    GallerySettings expected;
    expected.title = "Holidays";
    EXPECT_EQ(project.settings, expected);
}

TEST(ProjectFile, LegacyFileIsReadAndLeftInPlaceWhenSaving) {
    for (const char* legacy : {"tessavane.json", "kirrabo.json"}) {
        TemporaryFolder folder;
        writeWhole(folder / legacy, usableFile);
        Project project(folder.path());
        EXPECT_EQ(project.settings.title, "Old Times") << legacy;
        EXPECT_EQ(project.settings.sort, "manual");
        EXPECT_EQ(project.captions, (std::map<std::string, std::string>{{"a.jpg", "First"}}));
        EXPECT_EQ(project.order, (std::vector<std::string>{"b.jpg", "a.jpg"}));
        EXPECT_EQ(project.output, "~/Sites/old");

        project.settings.title = "New Times";
        project.saveProjectFile();
        EXPECT_EQ(readWhole(folder / legacy), usableFile) << legacy;
        EXPECT_EQ(Project(folder.path()).settings.title, "New Times") << "the new file wins once written";
    }
}

TEST(ProjectFile, OnlyTheFirstExistingNameIsRead) {
    TemporaryFolder folder;
    writeWhole(folder / "lanternfold.json", R"({"settings": {"title": "Current"}})");
    writeWhole(folder / "tessavane.json", usableFile);
    writeWhole(folder / "kirrabo.json", usableFile);
    const Project project(folder.path());
    EXPECT_EQ(project.settings.title, "Current");
    EXPECT_TRUE(project.captions.empty());
    EXPECT_TRUE(project.order.empty());
    EXPECT_EQ(project.output, "");
}

TEST(ProjectFile, AnUnusableFileStopsTheSearch) {
    TemporaryFolder folder;
    writeWhole(folder / "lanternfold.json", "{ this is not JSON");
    writeWhole(folder / "tessavane.json", usableFile);
    const Project project(folder.path());
    EXPECT_EQ(project.settings.title, folder.path().filename().string());
    EXPECT_TRUE(project.captions.empty());
}

// A file beyond 64 MB is not one this program wrote; it is not read at all (reading it whole could
// exhaust memory) and counts as unusable, so it also keeps an older name from winning. The same
// text padded to exactly the limit is still read.
TEST(ProjectFile, AFileBeyondTheSizeLimitIsUnusable) {
    constexpr std::uintmax_t limit = 64u * 1024 * 1024;
    const std::string text = R"({"settings": {"title": "Padded"}})";
    for (const std::uintmax_t size : {limit, limit + 1}) {
        TemporaryFolder folder;
        std::string padded = text;
        padded.resize(size, ' ');
        writeWhole(folder / "lanternfold.json", padded);
        writeWhole(folder / "kirrabo.json", usableFile);
        const Project project(folder.path());
        EXPECT_EQ(project.settings.title, size <= limit ? "Padded" : folder.path().filename().string()) << size;
        EXPECT_TRUE(project.captions.empty()) << size;
    }
}

TEST(ProjectFile, AFolderOrEmptyNameDoesNotCountAsAFile) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder / "lanternfold.json");
    writeWhole(folder / "kirrabo.json", usableFile);
    EXPECT_EQ(Project(folder.path()).settings.title, "Old Times");
}

TEST(ProjectFile, StrictAroundTheSettingsLenientInside) {
    struct Case {
        const char* what;
        const char* text;
        bool usable;
    };
    const std::vector<Case> cases = {
        {"not JSON", "<settings/>", false},
        {"empty file", "", false},
        {"top level array", R"([{"settings": {}}])", false},
        {"no settings", R"({"captions": {}})", false},
        {"settings null", R"({"settings": null})", false},
        {"settings a string", R"({"settings": "title"})", false},
        {"order a string", R"({"settings": {}, "order": "a.jpg"})", false},
        {"order holding a number", R"({"settings": {}, "order": ["a.jpg", 2]})", false},
        {"captions an array", R"({"settings": {}, "captions": ["a.jpg"]})", false},
        {"caption not a string", R"({"settings": {}, "captions": {"a.jpg": 1}})", false},
        {"caption null", R"({"settings": {}, "captions": {"a.jpg": null}})", false},
        {"output a number", R"({"settings": {}, "output": 5})", false},
        {"app a number", R"({"app": 1, "settings": {}})", false},
        {"version a number", R"({"version": 1.0, "settings": {}})", false},
        {"settings only", R"({"settings": {"title": "T"}})", true},
        {"optional keys null", R"({"app": null, "version": null, "settings": {"title": "T"}, "captions": null,
                                   "order": null, "output": null})", true},
        {"unknown keys everywhere", R"({"settings": {"title": "T", "colour": "red"}, "extra": [1, 2]})", true},
        {"mistyped key inside settings", R"({"settings": {"title": "T", "quality": "high"}})", true},
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        writeWhole(folder / "lanternfold.json", c.text);
        Project project;
        ASSERT_NO_THROW(project = Project(folder.path())) << c.what;
        if (c.usable) {
            EXPECT_EQ(project.settings.title, "T") << c.what;
            EXPECT_TRUE(project.captions.empty()) << c.what;
            EXPECT_TRUE(project.order.empty()) << c.what;
            EXPECT_EQ(project.output, "") << c.what;
            EXPECT_EQ(project.settings.quality, 85) << c.what;
        } else {
            GallerySettings defaults;
            defaults.title = folder.path().filename().string();
            EXPECT_EQ(project.settings, defaults) << c.what;
        }
    }
}

TEST(ProjectFile, SavedTextIsPrettyOrderedAndUnescaped) {
    TemporaryFolder folder;
    Project project(folder.path());
    project.settings.title = "Été / Summer";
    project.settings.ftpDir = "/www/photos";
    project.captions = {{"b.jpg", "Bee"}, {"a.jpg", ""}};
    project.order = {"b.jpg", "a.jpg"};
    project.output = "/srv/galleries/summer";
    project.saveProjectFile();

    const std::string expected = R"({
  "app": "Lanternfold",
  "version": "1.0",
  "settings": {
    "title": "Été / Summer",
    "template": "classic",
    "language": "en",
    "sort": "name",
    "reverse": false,
    "description": "",
    "per_page": 0,
    "captions_on_index": true,
    "show_date": true,
    "show_filename": false,
    "allow_download": false,
    "open_browser": true,
    "thumb_size": 220,
    "image_size": 1600,
    "quality": 85,
    "watermark": "",
    "watermark_opacity": 40,
    "ftp_host": "",
    "ftp_user": "",
    "ftp_dir": "/www/photos",
    "ftp_tls": true,
    "cf_account_id": "",
    "cf_site_name": "",
    "cf_last_url": "",
    "cf_domain": "",
    "cover": "",
    "locked": false
  },
  "captions": {
    "a.jpg": "",
    "b.jpg": "Bee"
  },
  "order": [
    "b.jpg",
    "a.jpg"
  ],
  "output": "/srv/galleries/summer"
}
)";
    EXPECT_EQ(readWhole(folder / "lanternfold.json"), expected);
    // The write goes through a temporary file that does not stay behind.
    EXPECT_EQ(entriesOf(folder.path()), std::vector<std::string>{"lanternfold.json"});
    EXPECT_EQ(Project(folder.path()).persisted(), project.persisted());
}

TEST(ProjectFile, EmptyProjectWritesEveryKey) {
    TemporaryFolder folder;
    Project(folder.path()).saveProjectFile();
    const json::Json saved = json::Json::parse(readWhole(folder / "lanternfold.json"));
    EXPECT_TRUE(saved["captions"].is_object() && saved["captions"].empty());
    EXPECT_TRUE(saved["order"].is_array() && saved["order"].empty());
    EXPECT_EQ(saved["output"], "");
    EXPECT_EQ(saved["settings"].size(), 27u);
}

TEST(ProjectFile, SavingClampsTheWrittenCopyOnly) {
    TemporaryFolder folder;
    Project project(folder.path());
    project.settings.quality = 150;
    project.settings.templateName = "Dark";
    project.saveProjectFile();
    EXPECT_EQ(project.settings.quality, 150);
    EXPECT_EQ(project.settings.templateName, "Dark");
    const Project reloaded(folder.path());
    EXPECT_EQ(reloaded.settings.quality, 100);
    EXPECT_EQ(reloaded.settings.templateName, "classic");
}

TEST(ProjectFile, UnknownSettingsKeysAreDroppedAtTheNextSave) {
    TemporaryFolder folder;
    writeWhole(folder / "lanternfold.json", R"({"settings": {"title": "T", "colour": "red"}, "extra": 1})");
    Project(folder.path()).saveProjectFile();
    const std::string saved = readWhole(folder / "lanternfold.json");
    EXPECT_EQ(saved.find("colour"), std::string::npos);
    EXPECT_EQ(saved.find("extra"), std::string::npos);
    EXPECT_NE(saved.find("\"title\": \"T\""), std::string::npos);
}

TEST(ProjectFile, NamesThatAreNotUTF8StillSave) {
    TemporaryFolder folder;
    Project project(folder.path());
    project.order = {"caf\xe9.jpg", "b.jpg"};
    project.captions = {{"caf\xe9.jpg", "Coffee"}};
    ASSERT_NO_THROW(project.saveProjectFile());
    const Project reloaded(folder.path());
    EXPECT_EQ(reloaded.order, (std::vector<std::string>{"caf\xef\xbf\xbd.jpg", "b.jpg"}));
    EXPECT_EQ(reloaded.captions.size(), 1u);
}

TEST(ProjectFile, SaveFailureNamesTheFile) {
    TemporaryFolder scratch;
    Project project(scratch / "gone");
    try {
        project.saveProjectFile();
        FAIL() << "saving into a missing folder must fail";
    } catch (const lf::Error& error) {
        EXPECT_NE(std::string(error.what()).find((scratch / "gone" / "lanternfold.json").string()), std::string::npos)
            << error.what();
    }
}

TEST(Project, OutputFolderDefaultsToTheFolderBeside) {
    Project project;
    project.folder = "/home/anna/Pictures/Rome";
    EXPECT_EQ(project.outputFolder(), std::filesystem::path("/home/anna/Pictures/Rome gallery"));
    project.output = "/srv/www/rome";
    EXPECT_EQ(project.outputFolder(), std::filesystem::path("/srv/www/rome"));

    lf::testing::TemporaryFolder home;
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("HOME", home.path().c_str(), 1);
    project.output = "~/Sites/rome";
    const auto expanded = project.outputFolder();
    project.output = "~";
    const auto bare = project.outputFolder();
    project.output = "~anna/x";
    const auto otherUser = project.outputFolder();
    if (oldHome) ::setenv("HOME", saved.c_str(), 1); else ::unsetenv("HOME");
    EXPECT_EQ(expanded, home.path() / "Sites" / "rome");
    EXPECT_EQ(bare, home.path());
    EXPECT_EQ(otherUser, std::filesystem::path("~anna/x"));
}

TEST(Project, TypedCaptionWinsEvenWhenEmpty) {
    Project project;
    Item item;
    item.url = "/p/a.jpg";
    item.exifCaption = "From the camera";
    EXPECT_EQ(project.caption(item), "From the camera");
    project.captions["a.jpg"] = "Typed";
    EXPECT_EQ(project.caption(item), "Typed");
    project.captions["a.jpg"] = "";
    EXPECT_EQ(project.caption(item), "");
}

TEST(Project, PersistedStateIgnoresItems) {
    Project a;
    a.folder = "/p";
    Project b = a;
    b.items.push_back(Item{});
    EXPECT_EQ(a.persisted(), b.persisted());
    EXPECT_NE(a, b);
    b.captions["x.jpg"] = "";
    EXPECT_NE(a.persisted(), b.persisted());
}

}  // namespace
}  // namespace lf::model

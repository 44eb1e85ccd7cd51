// lanternfold list, run as the real program on folders made by the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "model/support/fixtures.hpp"
#include "platform/json.hpp"

namespace {

namespace fs = std::filesystem;
using lf::testing::CommandResult;
using lf::testing::TemporaryFolder;
using lf::testing::utc;
using lf::testing::writeWhole;

CommandResult lanternfold(const std::vector<std::string>& args, const std::string& zone = "Europe/Berlin") {
    std::vector<std::string> argv{LF_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return lf::testing::runCommand(argv, {{"TZ", zone}, {"LANG", "en_US.UTF-8"}});
}

// A folder like one a person would open: tagged pictures, a movie, and things that are no items.
class ListCommand : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.jpg", "b.jpg", "olympus.jpg", "IMG_10.jpg", "IMG_9.jpg"}) {
            lf::testing::makePicture(folder / name);
        }
        writeWhole(folder / "olympus.txt", std::string("OLYMPUS DIGITAL CAMERA\0\0\0\0", 26));
        lf::testing::exiftool({
            {folder / "b.jpg", {"-DateTimeOriginal=2023:07:14 18:05:09", "-IPTC:CodedCharacterSet=UTF8",
                                "-Caption-Abstract=Café\tterrace"}},
            {folder / "olympus.jpg", {"-DateTimeOriginal=2023:01:05 08:00:00", "-ImageDescription<=" +
                                      (folder / "olympus.txt").string()}},
            {folder / "IMG_10.jpg", {"-DateTimeOriginal=2021:03:04 05:06:07", "-ImageDescription=Ten"}},
            {folder / "IMG_9.jpg", {"-ModifyDate=2022:03:04 05:06:07", "-ImageDescription=Nine"}},
        });
        fs::remove(folder / "olympus.txt");
        writeWhole(folder / "clip.mp4", "not decoded by list");
        writeWhole(folder / "notes.txt", "no media");
        writeWhole(folder / ".hidden.jpg", "hidden");
        fs::create_directory(folder / "more");
        lf::testing::makePicture(folder / "more" / "inner.jpg");
        lf::testing::setModified(folder / "a.jpg", utc(2022, 1, 2, 3, 4, 5));
        lf::testing::setModified(folder / "clip.mp4", utc(2022, 6, 1, 10, 0, 0));
        for (const char* name : {"b.jpg", "olympus.jpg", "IMG_10.jpg", "IMG_9.jpg"}) {
            lf::testing::setModified(folder / name, utc(2024, 2, 2, 12, 0, 0));
        }
    }

    // Names, sizes and modification times of everything in the folder, to prove nothing changed.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> out;
        for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
            struct stat info {};
            ::lstat(entry.path().c_str(), &info);
            out[entry.path().string()] = std::to_string(info.st_size) + "@" + std::to_string(info.st_mtim.tv_sec) + "." +
                                         std::to_string(info.st_mtim.tv_nsec);
        }
        return out;
    }

    TemporaryFolder folder;
};

TEST_F(ListCommand, PrintsItemsInNameOrderWithDatesTakenAndCleanCaptions) {
    const CommandResult result = lanternfold({"list", folder.path().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "a.jpg\timage\t2022-01-02T04:04:05+01:00\t\n"
              "b.jpg\timage\t2023-07-14T18:05:09+02:00\tCafé terrace\n"
              "clip.mp4\tvideo\t2022-06-01T12:00:00+02:00\t\n"
              "IMG_9.jpg\timage\t2022-03-04T05:06:07+01:00\tNine\n"
              "IMG_10.jpg\timage\t2021-03-04T05:06:07+01:00\tTen\n"
              "olympus.jpg\timage\t2023-01-05T08:00:00+01:00\t\n");
}

TEST_F(ListCommand, JsonGivesTheSameItemsWithExactTexts) {
    const CommandResult result = lanternfold({"list", "--json", folder.path().string()}, "America/New_York");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const lf::json::Json list = lf::json::Json::parse(result.out);
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 6u);

    std::vector<std::string> keys;
    for (auto it = list[1].begin(); it != list[1].end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "kind", "date", "dateIsExif", "caption"}));

    const lf::json::Json expected = lf::json::Json::parse(R"([
      {"file": "a.jpg", "kind": "image", "date": "2022-01-01T22:04:05-05:00", "dateIsExif": false, "caption": ""},
      {"file": "b.jpg", "kind": "image", "date": "2023-07-14T18:05:09-04:00", "dateIsExif": true, "caption": "Café\tterrace"},
      {"file": "clip.mp4", "kind": "video", "date": "2022-06-01T06:00:00-04:00", "dateIsExif": false, "caption": ""},
      {"file": "IMG_9.jpg", "kind": "image", "date": "2022-03-04T05:06:07-05:00", "dateIsExif": true, "caption": "Nine"},
      {"file": "IMG_10.jpg", "kind": "image", "date": "2021-03-04T05:06:07-05:00", "dateIsExif": true, "caption": "Ten"},
      {"file": "olympus.jpg", "kind": "image", "date": "2023-01-05T08:00:00-05:00", "dateIsExif": true, "caption": ""}
    ])");
    EXPECT_EQ(list, expected) << result.out;
}

TEST_F(ListCommand, ProjectFileDecidesOrderAndCaptions) {
    writeWhole(folder / "lanternfold.json", R"({
      "settings": {"sort": "manual", "reverse": true},
      "captions": {"IMG_10.jpg": "", "a.jpg": "Typed\nover two lines", "IMG_9.jpg": " \n Typed nine\t\n"},
      "order": ["olympus.jpg", "a.jpg", "gone.jpg"]
    })");
    const CommandResult result = lanternfold({"list", folder.path().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "olympus.jpg\timage\t2023-01-05T08:00:00+01:00\t\n"
              "a.jpg\timage\t2022-01-02T04:04:05+01:00\tTyped over two lines\n"
              "b.jpg\timage\t2023-07-14T18:05:09+02:00\tCafé terrace\n"
              "clip.mp4\tvideo\t2022-06-01T12:00:00+02:00\t\n"
              "IMG_9.jpg\timage\t2022-03-04T05:06:07+01:00\tTyped nine\n"
              "IMG_10.jpg\timage\t2021-03-04T05:06:07+01:00\t\n");

    // The JSON caption is the exact text the pages show: trimmed at both ends like theirs.
    const CommandResult json = lanternfold({"list", "--json", folder.path().string()});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    std::map<std::string, std::string> captions;
    for (const auto& entry : lf::json::Json::parse(json.out)) captions[entry["file"]] = entry["caption"];
    EXPECT_EQ(captions["IMG_9.jpg"], "Typed nine");
    EXPECT_EQ(captions["a.jpg"], "Typed\nover two lines");
    EXPECT_EQ(captions["IMG_10.jpg"], "");
}

TEST_F(ListCommand, DateOrderUsesTheDatesTaken) {
    // By file dates alone the pictures with dates taken would all sit at 2024 at the end.
    writeWhole(folder / "tessavane.json", R"({"settings": {"sort": "date", "reverse": true}})");
    const CommandResult result = lanternfold({"list", folder.path().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> files;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) files.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(files, (std::vector<std::string>{"b.jpg", "olympus.jpg", "clip.mp4", "IMG_9.jpg", "a.jpg", "IMG_10.jpg"}));
}

TEST_F(ListCommand, WritesNothing) {
    writeWhole(folder / "kirrabo.json", R"({"settings": {"title": "Old", "quality": 500}, "extra": 1})");
    const auto before = snapshot();
    for (const auto& args : std::vector<std::vector<std::string>>{{"list", folder.path().string()},
                                                                 {"list", "--json", folder.path().string()}}) {
        ASSERT_EQ(lanternfold(args).exitCode, 0);
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(fs::exists(folder / "lanternfold.json"));
    EXPECT_FALSE(fs::exists(folder.path().parent_path() / (folder.path().filename().string() + " gallery")));
}

TEST_F(ListCommand, RelativeFolderAndNamesThatAreNotUTF8) {
    writeWhole(folder / "caf\xe9.jpg", "latin-1 name");
    lf::testing::setModified(folder / "caf\xe9.jpg", utc(2020, 1, 1, 0, 0, 0));
    const CommandResult plain = lf::testing::runCommand(
        {"sh", "-c", "cd " + lf::testing::shellQuoted(folder.path().string()) + " && exec " LF_BINARY " list ."},
        {{"TZ", "UTC"}});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out.substr(0, plain.out.find('\n')), "a.jpg\timage\t2022-01-02T03:04:05+00:00\t");
    EXPECT_NE(plain.out.find("caf\xe9.jpg\timage\t2020-01-01T00:00:00+00:00\t\n"), std::string::npos) << plain.out;

    const CommandResult json = lanternfold({"list", "--json", folder.path().string()});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const lf::json::Json list = lf::json::Json::parse(json.out);
    EXPECT_EQ(list.size(), 7u);
    EXPECT_NE(json.out.find("caf\xef\xbf\xbd.jpg"), std::string::npos);
}

TEST(ListCommandFolders, EmptyFolderPrintsNothingOrAnEmptyArray) {
    TemporaryFolder folder;
    writeWhole(folder / "readme.txt", "no media here");
    const CommandResult plain = lanternfold({"list", folder.path().string()});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.out, "");
    const CommandResult json = lanternfold({"list", folder.path().string(), "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "[]\n");
}

TEST(ListCommandFolders, FolderThatCannotBeReadFailsWithAMessage) {
    TemporaryFolder scratch;
    writeWhole(scratch / "file.jpg", "a file, not a folder");
    fs::create_symlink(scratch / "loop-b", scratch / "loop-a");
    fs::create_symlink(scratch / "loop-a", scratch / "loop-b");
    struct Case {
        fs::path folder;
        std::string message;
    };
    const std::vector<Case> cases = {
        {scratch / "missing", "The folder “" + (scratch / "missing").string() + "” doesn’t exist.\n"},
        {scratch / "file.jpg", "“" + (scratch / "file.jpg").string() + "” is not a folder.\n"},
        {scratch / "file.jpg" / "below", "Couldn’t read the folder “" + (scratch / "file.jpg" / "below").string() +
                                             "”: Not a directory\n"},
        {scratch / "loop-a", "Couldn’t read the folder “" + (scratch / "loop-a").string() +
                                 "”: Too many levels of symbolic links\n"},
    };
    for (const Case& c : cases) {
        for (const char* json : {"", "--json"}) {
            std::vector<std::string> args{"list", c.folder.string()};
            if (*json) args.push_back(json);
            const CommandResult result = lanternfold(args);
            EXPECT_EQ(result.exitCode, 1) << c.folder;
            EXPECT_EQ(result.out, "") << c.folder;
            EXPECT_EQ(result.err, c.message) << c.folder;
        }
    }
}

TEST(ListCommandFolders, FolderWithoutReadPermissionFails) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "Running as root, which reads any folder whatever its permissions; the other "
                        "unreadable folders (missing, a file, a symbolic link loop) are covered above.";
    }
    TemporaryFolder scratch;
    fs::create_directory(scratch / "locked");
    fs::permissions(scratch / "locked", fs::perms::owner_exec);
    const CommandResult result = lanternfold({"list", (scratch / "locked").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Couldn’t read the folder “" + (scratch / "locked").string() + "”: Permission denied\n");
}

TEST(ListCommandUsage, MistakesExitWithStatusTwo) {
    TemporaryFolder folder;
    const std::string dir = folder.path().string();
    const std::vector<std::vector<std::string>> cases = {
        {"list"}, {"list", "--json"}, {"list", "--jsn", dir}, {"list", dir, dir}, {"list", ""}, {"frobnicate"},
        {"--verbose"},
    };
    for (const auto& args : cases) {
        const CommandResult result = lanternfold(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_EQ(result.out, "") << args.back();
        EXPECT_NE(result.err.find("Usage"), std::string::npos) << args.back() << ": " << result.err;
    }
}

TEST(ListCommandUsage, FolderNamedLikeAnOptionAfterDoubleDash) {
    TemporaryFolder scratch;
    fs::create_directory(scratch / "--json");
    const CommandResult result = lf::testing::runCommand(
        {"sh", "-c", "cd " + lf::testing::shellQuoted(scratch.path().string()) + " && exec " LF_BINARY " list -- --json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
}

TEST(ListCommandUsage, HelpAndVersion) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"}, {"list", "--help"}}) {
        const CommandResult result = lanternfold(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_NE(result.out.find("list FOLDER [--json]"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("RFC 3339"), std::string::npos) << result.out;
    }
    const CommandResult version = lanternfold({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("Lanternfold ") + LF_VERSION + "\n");
}

// The bundled sample folder, made by the same script ./run.sh and ./test.sh use: its project file
// sorts by date taken and types one caption; one picture carries a camera's default caption.
TEST(ListCommandSample, ShowsTheSampleInTheOrderItsProjectFileSays) {
    const CommandResult made = lf::testing::runCommand({LF_TEST_SOURCE_DIR "/../scripts/make-sample.sh"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string sample = made.out.substr(0, made.out.find('\n'));
    const CommandResult result = lanternfold({"list", sample});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "IMG_0009.jpg\timage\t2023-07-13T16:45:10+02:00\tWe arrive\n"
              "IMG_0010.jpg\timage\t2023-07-13T20:58:31+02:00\tHarbour at dusk\n"
              "IMG_0002.jpg\timage\t2023-07-14T09:12:40+02:00\t\n"
              "Lighthouse.JPG\timage\t2023-07-14T11:03:00+02:00\tThe old lighthouse\n"
              "portrait.jpg\timage\t2023-07-14T12:30:00+02:00\tThe tower, stored sideways\n"
              "IMG_0100.jpg\timage\t2023-07-14T15:20:05+02:00\tMarket stalls\n"
              "waves.mp4\tvideo\t2023-07-14T16:00:00+02:00\t\n"
              "dunes.jpg\timage\t2023-07-15T07:02:03+02:00\t\n"
              "IMG_0011.jpg\timage\t2023-07-15T10:10:10+02:00\tZoë’s boat, the «Étoile»\n"
              "beach.jpg\timage\t2023-07-15T13:45:00+02:00\tBeach umbrellas\n"
              "seagulls.m4a\taudio\t2023-07-15T17:30:00+02:00\t\n"
              "night-sky.jpg\timage\t2023-07-15T23:10:00+02:00\tStars over the bay\n"
              "garden.jpg\timage\t2023-07-16T09:00:00+02:00\t\n"
              "logo.png\timage\t2023-07-16T12:00:00+02:00\t\n");
}

}  // namespace

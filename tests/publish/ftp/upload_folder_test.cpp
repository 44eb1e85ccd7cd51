// The upload's rules with the curl runs recorded instead of made: which files go, in which order,
// in which batches, with which progress, and where cancellation takes effect.
#include "publish/ftp/upload_folder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <stop_token>
#include <tuple>
#include <vector>

#include "publish/ftp/support/ftp_servers.hpp"
#include "publish/ftp/upload_error.hpp"

namespace lf::publish::ftp {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> remotes(const std::vector<UploadItem>& items) {
    std::vector<std::string> paths;
    for (const UploadItem& item : items) paths.push_back(item.remote);
    return paths;
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

using ProgressStep = std::tuple<int, int, std::string>;

TEST(CollectUploadItems, OnlyVisibleRegularFilesInsideTheFolder) {
    test::TemporaryFolder temporary;
    const fs::path site = temporary.path() / "My gallery";
    writeFile(site / "index.html");
    writeFile(site / "p" / "Été à Nice.html");
    writeFile(site / "images" / "a b.jpg");
    writeFile(site / "Zebra.html");
    writeFile(site / ".tessavane-build.json");
    writeFile(site / ".git" / "config");
    writeFile(site / "images" / ".DS_Store");
    writeFile(temporary.path() / "outside.txt");
    fs::create_directory_symlink(temporary.path(), site / "linked-folder");
    fs::create_symlink(site / "index.html", site / "link.html");
    fs::create_symlink(temporary.path() / "outside.txt", site / "images" / "outside.txt");

    const std::vector<UploadItem> items = collectUploadItems(site);
    EXPECT_EQ(remotes(items), (std::vector<std::string>{"Zebra.html", "images/a%20b.jpg", "index.html",
                                                        "p/%C3%89t%C3%A9%20%C3%A0%20Nice.html"}));
    EXPECT_EQ(items[3].local, fs::canonical(site) / "p" / "Été à Nice.html");
    EXPECT_TRUE(items[3].local.is_absolute());

    // A site folder reached through a symbolic link gives the same files.
    fs::create_directory_symlink(site, temporary.path() / "shortcut");
    EXPECT_EQ(collectUploadItems(temporary.path() / "shortcut"), items);
    EXPECT_TRUE(collectUploadItems(temporary.path() / "missing").empty());
}

TEST(UploadFolder, FortyFiveFilesGoInThreeRuns) {
    test::TemporaryFolder temporary;
    const fs::path site = temporary.path() / "site";
    for (int i = 0; i < 45; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%02d.html", i);
        writeFile(site / (i == 20 ? std::string("my page.html") : std::string(name)));
    }
    std::vector<std::string> configs;
    std::vector<ProgressStep> steps;
    const int uploaded = uploadFolder(
        site, " FTPS://ftp.example.com/ ", "ann", "pw", "/www//", true, {},
        [&](int done, int total, const std::string& text) { steps.emplace_back(done, total, text); },
        [&](const std::string& config) { configs.push_back(config); });

    EXPECT_EQ(uploaded, 45);
    ASSERT_EQ(configs.size(), 3u);
    EXPECT_EQ(count(configs[0], "upload-file = "), 20);
    EXPECT_EQ(count(configs[1], "upload-file = "), 20);
    EXPECT_EQ(count(configs[2], "upload-file = "), 5);
    for (const std::string& config : configs) {
        EXPECT_TRUE(config.starts_with("user = \"ann:pw\"\n"));
        EXPECT_EQ(count(config, "\nssl-reqd\n"), 1);
        EXPECT_EQ(count(config, "url = \"ftp://ftp.example.com/www/"), count(config, "upload-file = "));
    }
    // Sorted by remote path: "f00.html" … "f44.html" (without f20), then "my%20page.html" last.
    EXPECT_EQ(steps, (std::vector<ProgressStep>{{0, 45, "Uploading f00.html…"},
                                                {20, 45, "Uploading f21.html…"},
                                                {40, 45, "Uploading f41.html…"},
                                                {45, 45, "Upload finished"}}));
    EXPECT_NE(configs[2].find("url = \"ftp://ftp.example.com/www/my%20page.html\"\n"), std::string::npos);
}

TEST(UploadFolder, ProgressShowsTheNameDecoded) {
    test::TemporaryFolder temporary;
    writeFile(temporary.path() / "images" / "Été 1.jpg");
    std::vector<ProgressStep> steps;
    uploadFolder(
        temporary.path(), "h", "u", "p", "", false, {},
        [&](int done, int total, const std::string& text) { steps.emplace_back(done, total, text); },
        [&](const std::string& config) { EXPECT_EQ(count(config, "ssl-reqd"), 0); });
    EXPECT_EQ(steps, (std::vector<ProgressStep>{{0, 1, "Uploading images/Été 1.jpg…"}, {1, 1, "Upload finished"}}));
}

TEST(UploadFolder, NothingToSendRunsNoCurl) {
    test::TemporaryFolder temporary;
    writeFile(temporary.path() / ".tessavane-build.json");
    std::vector<ProgressStep> steps;
    const int uploaded = uploadFolder(
        temporary.path(), "h", "u", "p", "", false, {},
        [&](int done, int total, const std::string& text) { steps.emplace_back(done, total, text); },
        [&](const std::string&) { ADD_FAILURE() << "curl ran"; });
    EXPECT_EQ(uploaded, 0);
    EXPECT_EQ(steps, (std::vector<ProgressStep>{{0, 0, "Upload finished"}}));
}

TEST(UploadFolder, BadServerFailsBeforeAnythingStarts) {
    test::TemporaryFolder temporary;
    writeFile(temporary.path() / "index.html");
    EXPECT_THROW(uploadFolder(
                     temporary.path(), "ftp:// my host", "u", "p", "", false, {},
                     [&](int, int, const std::string&) { ADD_FAILURE() << "progress reported"; },
                     [&](const std::string&) { ADD_FAILURE() << "curl ran"; }),
                 UploadError);
}

TEST(UploadFolder, StopTakesEffectBeforeTheNextBatch) {
    test::TemporaryFolder temporary;
    for (int i = 100; i < 145; ++i) writeFile(temporary.path() / std::to_string(i));
    std::stop_source stop;
    int runs = 0;
    // Stop pressed while the first batch runs: that batch completes, the second never starts.
    EXPECT_THROW(uploadFolder(temporary.path(), "h", "u", "p", "", false, stop.get_token(), {},
                              [&](const std::string&) {
                                  ++runs;
                                  stop.request_stop();
                              }),
                 lf::Cancelled);
    EXPECT_EQ(runs, 1);

    // Stop pressed before the upload starts: no batch runs at all.
    EXPECT_THROW(uploadFolder(temporary.path(), "h", "u", "p", "", false, stop.get_token(), {},
                              [&](const std::string&) { ++runs; }),
                 lf::Cancelled);
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace lf::publish::ftp

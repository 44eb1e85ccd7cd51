#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/crypto.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/asset_files.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "support/temporary_folder.hpp"

namespace fs = std::filesystem;
using namespace lf::publish::cloudflare;

namespace {

fs::path freshFolder(const std::string& name) {
    const fs::path folder = lf::testing::programFolder() / "assets" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> pathsOf(const std::vector<FileEntry>& entries) {
    std::vector<std::string> paths;
    for (const auto& entry : entries) paths.push_back(entry.path);
    return paths;
}

}  // namespace

TEST(AssetHash, EmptyTextFileIsTheHashOfItsExtension) {
    EXPECT_EQ(assetHash("", "txt"), lf::crypto::hex(lf::crypto::sha256("txt")).substr(0, 32));
    EXPECT_EQ(assetHash("", "txt"), "486b9a6fc855abf48847e9639f3c0908");  // printf txt | sha256sum
}

TEST(AssetHash, ContentAndExtensionBothCount) {
    EXPECT_EQ(assetHash("<p>", "html"), lf::crypto::hex(lf::crypto::sha256("PHA+html")).substr(0, 32));
    EXPECT_NE(assetHash("same", "html"), assetHash("same", "htm"));
    EXPECT_NE(assetHash("same", "jpg"), assetHash("same", "JPG"));
    EXPECT_EQ(assetHash("same", "css"), assetHash("same", "css"));
    EXPECT_EQ(assetHash("x", "").size(), 32u);
}

TEST(MimeType, ByExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"index.html", "text/html; charset=utf-8"},   {"old.HTM", "text/html; charset=utf-8"},
        {"style.css", "text/css; charset=utf-8"},     {"app.js", "text/javascript; charset=utf-8"},
        {"g.json", "application/json; charset=utf-8"}, {"robots.txt", "text/plain; charset=utf-8"},
        {"photo.JPG", "image/jpeg"},                  {"clip.mp4", "video/mp4"},
        {"song.mp3", "audio/mpeg"},                   {"pic.png", "image/png"},
        {"noextension", "application/octet-stream"},  {"data.zzqq", "application/octet-stream"},
    };
    for (const auto& [name, type] : cases) EXPECT_EQ(mimeTypeFor(name), type) << name;
}

TEST(CollectFiles, SortedEntriesWithoutHiddenFilesOrLinks) {
    const fs::path outside = freshFolder("outside");
    write(outside / "secret.txt", "not for the web");
    const fs::path site = freshFolder("site");
    write(site / "index.html", "<html></html>");
    write(site / "pictures" / "b.jpg", "jpeg b");
    write(site / "pictures" / "a.jpg", "jpeg a");
    write(site / "Z.css", "body{}");
    write(site / "empty.txt", "");
    write(site / ".tessavane-build.json", "{}");
    write(site / ".hidden" / "inside.html", "hidden");
    write(site / "pictures" / ".DS_Store", "x");
    fs::create_symlink(outside / "secret.txt", site / "link.txt");
    fs::create_symlink(site / "index.html", site / "again.html");
    fs::create_directory_symlink(outside, site / "linked-folder");

    const auto entries = collectFiles(site);
    EXPECT_EQ(pathsOf(entries),
              (std::vector<std::string>{"/Z.css", "/empty.txt", "/index.html", "/pictures/a.jpg", "/pictures/b.jpg"}));
    const FileEntry& first = entries.at(2);
    EXPECT_EQ(first.hash, assetHash("<html></html>", "html"));
    EXPECT_EQ(first.size, 13);
    EXPECT_EQ(first.mime, "text/html; charset=utf-8");
    EXPECT_EQ(first.url, site / "index.html");
    EXPECT_EQ(entries.at(1).hash, assetHash("", "txt"));
}

TEST(CollectFiles, FolderReachedThroughALinkIsWalked) {
    const fs::path site = freshFolder("real");
    write(site / "index.html", "x");
    const fs::path link = lf::testing::programFolder() / "link-to-real";
    fs::remove(link);
    fs::create_directory_symlink(site, link);
    EXPECT_EQ(pathsOf(collectFiles(link)), std::vector<std::string>{"/index.html"});
}

TEST(CollectFiles, EmptyOnlyHiddenAndMissingFoldersGiveNoEntries) {
    EXPECT_TRUE(collectFiles(freshFolder("empty")).empty());
    const fs::path hidden = freshFolder("only-hidden");
    write(hidden / ".dot", "x");
    write(hidden / ".folder" / "page.html", "x");
    EXPECT_TRUE(collectFiles(hidden).empty());
    EXPECT_TRUE(collectFiles(lf::testing::programFolder() / "no-such-folder").empty());
}

TEST(CollectFiles, SizeLimitIsTwentyFiveMebibytes) {
    const fs::path site = freshFolder("big");
    fs::create_directories(site / "movies");
    // Sparse files: the size is what counts, not the disk space.
    { std::ofstream(site / "movies" / "limit.mp4"); }
    fs::resize_file(site / "movies" / "limit.mp4", 26214400);
    EXPECT_EQ(collectFiles(site).at(0).size, 26214400);

    { std::ofstream(site / "movies" / "over.mp4"); }
    fs::resize_file(site / "movies" / "over.mp4", 26214401);
    try {
        collectFiles(site);
        FAIL() << "expected tooBig";
    } catch (const CloudflareError& error) {
        EXPECT_EQ(error.kind(), CloudflareError::Kind::tooBig);
        EXPECT_STREQ(error.what(),
                     "“movies/over.mp4” is bigger than 25 MB, the largest file Cloudflare accepts. Shorten or "
                     "compress it and build again.");
    }
}

TEST(CollectFiles, UnreadableFileEndsWithAFileError) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const fs::path site = freshFolder("unreadable");
    write(site / "locked.html", "x");
    fs::permissions(site / "locked.html", fs::perms::none);
    EXPECT_THROW(collectFiles(site), lf::platform::FileError);
    fs::permissions(site / "locked.html", fs::perms::owner_all);
}

TEST(AssetUpload, TwentyThousandFilesAreAcceptedOneMoreIsRefusedBeforeSending) {
    const fs::path site = freshFolder("many");
    for (int i = 0; i < 20000; ++i) { std::ofstream(site / ("f" + std::to_string(i) + ".txt")); }
    // Nothing listens at this address: getting as far as a transport failure means the count passed.
    setenv("LANTERNFOLD_CF_API_BASE", "http://127.0.0.1:9/client/v4", 1);
    const lf::publish::cloudflare::CloudflarePublisher publisher("token", "many");
    EXPECT_THROW(publisher.uploadAssets("account", site), lf::TransportError);
    { std::ofstream(site / "one-more.txt"); }
    try {
        publisher.uploadAssets("account", site);
        ADD_FAILURE() << "expected tooManyFiles";
    } catch (const CloudflareError& error) {
        EXPECT_STREQ(error.what(), "Cloudflare’s free plan allows 20,000 files per site, and this gallery has 20001.");
    }
    unsetenv("LANTERNFOLD_CF_API_BASE");
    fs::remove_all(site);
}

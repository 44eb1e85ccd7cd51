// The build's self-contained steps: what enters the settings signature, file stamps, copies, the
// cover and gallery manifest, and above all what stale-file removal may and may not delete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "builder/build_steps.hpp"
#include "home/gallery_manifest.hpp"
#include "platform/error.hpp"
#include "builder/support/build_fixtures.hpp"

namespace lf::builder {
namespace {

using testing::filesBelow;
using testing::readText;
using testing::TemporaryFolder;
using testing::writeText;

TEST(SettingsSignatureTest, OnlyOutputAffectingSettingsEnter) {
    model::GallerySettings settings;
    EXPECT_EQ(settingsSignature(settings), "220|1600|85||40|false|mac1");

    model::GallerySettings pagesOnly = settings;
    pagesOnly.title = "Other";
    pagesOnly.templateName = "dark";
    pagesOnly.language = "de";
    pagesOnly.perPage = 12;
    pagesOnly.showDate = false;
    pagesOnly.showFilename = true;
    pagesOnly.captionsOnIndex = false;
    pagesOnly.sort = "date";
    pagesOnly.coverName = "a.jpg";
    pagesOnly.locked = true;
    EXPECT_EQ(settingsSignature(pagesOnly), settingsSignature(settings));

    settings.thumbSize = 300;
    settings.imageSize = 2048;
    settings.quality = 92;
    settings.watermark = " \n© Ann | 2024\t\n";
    settings.watermarkOpacity = 100;
    settings.allowDownload = true;
    EXPECT_EQ(settingsSignature(settings), "300|2048|92|© Ann | 2024|100|true|mac1");
}

TEST(FileStampTest, MillisecondsTruncatedTowardZeroAndSize) {
    TemporaryFolder folder;
    const auto file = folder / "a.jpg";
    writeText(file, "12345");
    testing::setModificationTime(file, 1700000000, 987654321);
    EXPECT_EQ(fileStamp(file), (FileStamp{1700000000987, 5}));
    // 1.5 seconds before 1970: -1500, not -1501.
    testing::setModificationTime(file, -2, 500000000);
    EXPECT_EQ(fileStamp(file), (FileStamp{-1500, 5}));
    EXPECT_EQ(fileStamp(folder / "missing.jpg"), (FileStamp{0, 0}));
}

TEST(CopyReplacingTest, ReplacesAFileOrALinkWithoutWritingThroughIt) {
    TemporaryFolder folder;
    writeText(folder / "source.mp4", "movie");
    writeText(folder / "media/old.mp4", "old");
    copyReplacing(folder / "source.mp4", folder / "media/old.mp4");
    EXPECT_EQ(readText(folder / "media/old.mp4"), "movie");

    // A link left at the destination is replaced, and the file it pointed to stays as it was.
    writeText(folder / "elsewhere.mp4", "keep me");
    fs::create_symlink(folder / "elsewhere.mp4", folder / "media/link.mp4");
    copyReplacing(folder / "source.mp4", folder / "media/link.mp4");
    EXPECT_FALSE(fs::is_symlink(folder / "media/link.mp4"));
    EXPECT_EQ(readText(folder / "media/link.mp4"), "movie");
    EXPECT_EQ(readText(folder / "elsewhere.mp4"), "keep me");

    try {
        copyReplacing(folder / "gone.mp4", folder / "media/gone.mp4");
        FAIL() << "copying a missing file must fail";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("gone.mp4"), std::string::npos) << error.what();
    }
}

TEST(PicturesFolderAtRiskTest, SameFolderOrInsideAManagedFolder) {
    TemporaryFolder folder;
    const fs::path root = folder.path();
    fs::create_directories(root / "Pictures/Rome");
    fs::create_directories(root / "site/images/trip");
    fs::create_symlink(root / "Pictures/Rome", root / "rome-link");
    fs::create_directories(root / "linked-site");
    fs::create_directory_symlink(root / "Pictures", root / "linked-site/thumbs");

    struct Case { fs::path pictures; fs::path output; bool atRisk; };
    const std::vector<Case> cases{
        {root / "Pictures/Rome", root / "Pictures/Rome", true},
        {root / "Pictures/Rome", root / "Pictures/Rome/", true},
        {root / "Pictures/Rome", root / "Pictures/./x/../Rome", true},
        {root / "Pictures/Rome", root / "rome-link", true},              // the same folder through a link
        {root / "site/images", root / "site", true},
        {root / "site/images/trip", root / "site", true},
        {root / "site/p/deep/er", root / "site", true},
        {root / "site/originals", root / "site/", true},
        {root / "Pictures/Rome", root / "linked-site", true},             // thumbs links to a folder above it
        {root / "Pictures", root / "linked-site", true},
        {root / "Pictures/Rome", root / "Pictures/Rome gallery", false},
        {root / "Pictures/Rome", root / "Pictures", false},                // index pages only at the top
        {root / "site/imagesX", root / "site", false},
        {root / "Pictures/Rome", root / "Pictures/Rome/gallery", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(picturesFolderAtRisk(c.pictures, c.output), c.atRisk) << c.pictures << " → " << c.output;
    }
}

TEST(RemoveStaleFilesTest, RemovesOnlyUnkeptFilesOfManagedFoldersAndOldIndexPages) {
    TemporaryFolder folder;
    const fs::path out = folder.path();
    for (const char* name : {"images/a.jpg", "images/old.jpg", "thumbs/a.jpg", "thumbs/old.jpg", "thumbs/.directory",
                             "media/old.mp4", "originals/a.jpg", "originals/.hidden", "p/a.html", "p/old.html",
                             "index.html", "index-2.html", "index-3.html", "index-notes.txt", "notes.html",
                             "kirrabo.js", "tessavane.js", "lanternfold.js", "style.css", "cover.jpg",
                             "my-photos/keep.jpg", "images/nested/inside.jpg"}) {
        writeText(out / name, name);
    }
    fs::create_directories(out / "index-4.html");  // a folder with a page's name
    fs::create_directories(out / "thumbs/empty");
    fs::create_symlink(out / "my-photos/keep.jpg", out / "media/link.jpg");

    removeStaleFiles(out, {"images/a.jpg", "thumbs/a.jpg", "p/a.html", "index.html", "index-2.html", "style.css",
                           "lanternfold.js"});

    EXPECT_EQ(filesBelow(out), (std::vector<std::string>{
                                   "cover.jpg", "images/a.jpg", "images/nested/inside.jpg", "index-2.html",
                                   "index-notes.txt", "index.html", "lanternfold.js", "my-photos/keep.jpg",
                                   "notes.html", "originals/.hidden", "p/a.html", "style.css", "thumbs/.directory",
                                   "thumbs/a.jpg"}));
    EXPECT_TRUE(fs::is_directory(out / "index-4.html"));
    EXPECT_TRUE(fs::is_directory(out / "thumbs/empty"));
}

TEST(RemoveStaleFilesTest, AManagedFolderThatLinksElsewhereIsLeftAlone) {
    TemporaryFolder folder;
    writeText(folder / "Pictures/beach.jpg", "source picture");
    fs::create_directories(folder / "site");
    fs::create_directory_symlink(folder / "Pictures", folder / "site/originals");
    removeStaleFiles(folder / "site", {});
    EXPECT_EQ(readText(folder / "Pictures/beach.jpg"), "source picture");
}

model::Item item(const std::string& name, model::MediaKind kind, const std::string& slug) {
    model::Item made;
    made.url = "/pictures/" + name;
    made.kind = kind;
    made.slug = slug;
    return made;
}

TEST(WriteCoverTest, NamedItemElseFirstPictureElseFirstItem) {
    TemporaryFolder folder;
    for (const char* slug : {"song", "clip", "beach", "hill"}) writeText(folder / "thumbs" / (std::string(slug) + ".jpg"), slug);
    const std::vector<model::Item> items{item("song.mp3", model::MediaKind::audio, "song"),
                                         item("clip.mov", model::MediaKind::video, "clip"),
                                         item("beach.jpg", model::MediaKind::image, "beach"),
                                         item("hill.jpg", model::MediaKind::image, "hill")};
    writeCover(items, "hill.jpg", folder.path());
    EXPECT_EQ(readText(folder / "cover.jpg"), "hill");
    writeCover(items, "HILL.jpg", folder.path());  // the name must match exactly
    EXPECT_EQ(readText(folder / "cover.jpg"), "beach");
    writeCover({items[0], items[1]}, "", folder.path());
    EXPECT_EQ(readText(folder / "cover.jpg"), "song");
    writeCover({item("gone.jpg", model::MediaKind::image, "gone")}, "", folder.path());  // no thumbnail: no cover, no failure
    EXPECT_FALSE(fs::exists(folder / "cover.jpg"));
}

TEST(WriteGalleryManifestTest, ResolvedTitleDescriptionAsStoredAndLockOnlyWhenOn) {
    TemporaryFolder folder;
    model::Project project;
    project.folder = "/home/ann/Pictures/Rome";
    project.settings.title = " \n ";
    project.settings.galleryDescription = " Spring \n";
    writeGalleryManifest(project, 7, folder.path());
    auto manifest = home::GalleryManifest::decode(readText(folder / "lanternfold-gallery.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->app, "Lanternfold");
    EXPECT_EQ(manifest->kind, "gallery");
    EXPECT_EQ(manifest->title, "Rome");
    EXPECT_EQ(manifest->description, " Spring \n");
    EXPECT_EQ(manifest->count, 7);
    EXPECT_EQ(manifest->cover, "cover.jpg");
    EXPECT_FALSE(manifest->locked.has_value());
    EXPECT_EQ(readText(folder / "lanternfold-gallery.json").find("locked"), std::string::npos);
    EXPECT_EQ(manifest->updated.size(), std::string("2026-12-05T09:54:35Z").size());
    EXPECT_EQ(manifest->updated.back(), 'Z');

    project.settings.title = "  Rome in May ";
    project.settings.locked = true;
    writeGalleryManifest(project, 7, folder.path());
    manifest = home::GalleryManifest::decode(readText(folder / "lanternfold-gallery.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->title, "Rome in May");
    EXPECT_EQ(manifest->locked, true);

    // A folder that cannot take the file: nothing is thrown.
    EXPECT_NO_THROW(writeGalleryManifest(project, 7, folder / "missing/folder"));
}

}  // namespace
}  // namespace lf::builder

// The folder scan (reloadItems) and the display order (sortItems).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "model/photo_details.hpp"
#include "model/project.hpp"
#include "model/support/fixtures.hpp"

namespace lf::model {
namespace {

using lf::testing::TemporaryFolder;
using lf::testing::utc;

std::vector<std::string> names(const Project& project) {
    std::vector<std::string> out;
    for (const Item& item : project.items) out.push_back(item.fileName());
    return out;
}

const Item* find(const Project& project, const std::string& name) {
    for (const Item& item : project.items) if (item.fileName() == name) return &item;
    return nullptr;
}

void touch(const std::filesystem::path& path) { lf::testing::writeWhole(path, "x"); }

TEST(FolderScan, KeepsOnlyMediaFilesDirectlyInsideTheFolder) {
    TemporaryFolder folder;
    for (const char* name : {"a.JPG", ".hidden.jpg", "notes.txt", "clip.MOV", "README", "song.Flac", "photo.jpg~"}) {
        touch(folder / name);
    }
    std::filesystem::create_directory(folder / "more");
    touch(folder / "more" / "inner.jpg");
    std::filesystem::create_directory(folder / "album.jpg");  // a folder with a picture's name
    std::filesystem::create_directory(folder / ".thumbs");
    touch(folder / ".thumbs" / "t.jpg");
    std::filesystem::create_symlink(folder / "a.JPG", folder / "link.jpg");

    const Project project(folder.path());
    EXPECT_EQ(names(project), (std::vector<std::string>{"a.JPG", "clip.MOV", "song.Flac"}));

    const Item* picture = find(project, "a.JPG");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->kind, MediaKind::image);
    EXPECT_FALSE(picture->metadataLoaded);
    EXPECT_EQ(picture->date, picture->modified);
    EXPECT_FALSE(picture->dateIsExif);
    EXPECT_EQ(picture->slug, "");
    EXPECT_EQ(picture->url, folder.path() / "a.JPG");

    EXPECT_EQ(find(project, "clip.MOV")->kind, MediaKind::video);
    EXPECT_TRUE(find(project, "clip.MOV")->metadataLoaded);
    EXPECT_EQ(find(project, "song.Flac")->kind, MediaKind::audio);
    EXPECT_TRUE(find(project, "song.Flac")->metadataLoaded);
}

TEST(Item, EqualityCoversEveryField) {
    Item base;
    base.url = "/p/a.jpg";
    const std::vector<std::function<void(Item&)>> changes = {
        [](Item& i) { i.url = "/p/b.jpg"; },
        [](Item& i) { i.kind = MediaKind::audio; },
        [](Item& i) { i.modified += std::chrono::seconds(1); },
        [](Item& i) { i.date += std::chrono::seconds(1); },
        [](Item& i) { i.dateIsExif = true; },
        [](Item& i) { i.exifCaption = "x"; },
        [](Item& i) { i.metadataLoaded = true; },
        [](Item& i) { i.slug = "a"; },
    };
    for (size_t index = 0; index < changes.size(); ++index) {
        Item changed = base;
        changes[index](changed);
        EXPECT_NE(changed, base) << index;
    }
    EXPECT_EQ(Item(base), base);
}

TEST(FolderScan, ModificationTimeBecomesTheStartingDate) {
    TemporaryFolder folder;
    touch(folder / "a.jpg");
    const auto moment = utc(2021, 5, 6, 7, 8, 9) + std::chrono::milliseconds(250);
    lf::testing::setModified(folder / "a.jpg", moment);
    const Project project(folder.path());
    ASSERT_EQ(project.items.size(), 1u);
    EXPECT_EQ(project.items[0].modified, moment);
    EXPECT_EQ(project.items[0].date, moment);
}

TEST(FolderScan, SameBaseNameWithDifferentExtensionsAreTwoItems) {
    TemporaryFolder folder;
    touch(folder / "a.jpg");
    touch(folder / "a.mov");
    const Project project(folder.path());
    EXPECT_EQ(names(project), (std::vector<std::string>{"a.jpg", "a.mov"}));
}

TEST(FolderScan, NamesInAnyScriptAreListed) {
    TemporaryFolder folder;
    for (const char* name : {"東京タワー.jpg", "Ünïcödé.png", "Москва 2.heic", "🎉 party.mp4", "name\twith tab.jpg"}) {
        touch(folder / name);
    }
    const Project project(folder.path());
    EXPECT_EQ(project.items.size(), 5u);
}

TEST(FolderScan, RescanKeepsUnchangedItemsAndRenewsChangedOnes) {
    TemporaryFolder folder;
    for (const char* name : {"keep.jpg", "changed.jpg", "gone.jpg", "clip.mp4"}) {
        touch(folder / name);
        lf::testing::setModified(folder / name, utc(2020, 1, 1, 12, 0, 0));
    }
    Project project(folder.path());
    for (Item& item : project.items) {
        if (item.kind == MediaKind::image) applyPhotoDetails(item, {utc(2019, 6, 1, 10, 0, 0), "Read once"});
        item.slug = "slug-" + item.fileName();
    }

    lf::testing::setModified(folder / "changed.jpg", utc(2020, 1, 1, 12, 0, 1));
    std::filesystem::remove(folder / "gone.jpg");
    touch(folder / "new.jpg");
    const std::vector<Item> before = project.items;
    project.reloadItems();

    EXPECT_EQ(names(project), (std::vector<std::string>{"changed.jpg", "clip.mp4", "keep.jpg", "new.jpg"}));
    EXPECT_EQ(*find(project, "keep.jpg"), *std::find_if(before.begin(), before.end(), [](const Item& i) {
        return i.fileName() == "keep.jpg";
    }));
    EXPECT_EQ(find(project, "keep.jpg")->exifCaption, "Read once");
    EXPECT_EQ(find(project, "clip.mp4")->slug, "slug-clip.mp4");

    const Item* changed = find(project, "changed.jpg");
    EXPECT_FALSE(changed->metadataLoaded);
    EXPECT_FALSE(changed->dateIsExif);
    EXPECT_EQ(changed->exifCaption, "");
    EXPECT_EQ(changed->slug, "");
    EXPECT_EQ(changed->date, utc(2020, 1, 1, 12, 0, 1));
    EXPECT_FALSE(find(project, "new.jpg")->metadataLoaded);
}

TEST(FolderScan, RescanKeepsCaptionsAndOrderOfRemovedFiles) {
    TemporaryFolder folder;
    touch(folder / "a.jpg");
    touch(folder / "b.jpg");
    Project project(folder.path());
    project.captions["b.jpg"] = "Bee";
    project.order = {"b.jpg", "a.jpg"};
    std::filesystem::remove(folder / "b.jpg");
    project.reloadItems();
    EXPECT_EQ(names(project), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(project.captions.at("b.jpg"), "Bee");
    EXPECT_EQ(project.order, (std::vector<std::string>{"b.jpg", "a.jpg"}));
}

TEST(FolderScan, FolderThatCannotBeListedGivesAnEmptyProject) {
    TemporaryFolder scratch;
    touch(scratch / "plain-file");
    std::filesystem::create_symlink(scratch / "loop-b", scratch / "loop-a");
    std::filesystem::create_symlink(scratch / "loop-a", scratch / "loop-b");
    for (const std::filesystem::path& folder : {scratch / "missing", scratch / "plain-file", scratch / "plain-file" / "below",
                                                scratch / "loop-a"}) {
        Project project;
        EXPECT_NO_THROW(project = Project(folder)) << folder;
        EXPECT_TRUE(project.items.empty()) << folder;
        EXPECT_EQ(project.settings.title, folder.filename().string());
    }
}

TEST(FolderScan, FolderWithoutReadPermissionGivesAnEmptyProject) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "Running as root, which reads any folder whatever its permissions; the listing "
                        "failures of missing, non-folder and looping paths are covered by the test above.";
    }
    TemporaryFolder scratch;
    std::filesystem::create_directory(scratch / "locked");
    touch(scratch / "locked" / "a.jpg");
    std::filesystem::permissions(scratch / "locked", std::filesystem::perms::none);
    const Project project(scratch / "locked");
    EXPECT_TRUE(project.items.empty());
}

TEST(Project, NewProjectIsNamedAfterItsStandardizedFolder) {
    TemporaryFolder scratch;
    std::filesystem::create_directories(scratch / "Pictures" / "Rome");
    const Project project(scratch / "Pictures" / "x" / ".." / "Rome" / "." / "");
    EXPECT_EQ(project.folder, scratch / "Pictures" / "Rome");
    EXPECT_EQ(project.settings.title, "Rome");
    EXPECT_TRUE(project.captions.empty());
    EXPECT_TRUE(project.order.empty());
    EXPECT_EQ(project.output, "");
}

TEST(Project, RelativeFolderIsMadeAbsolute) {
    TemporaryFolder scratch;
    std::filesystem::create_directories(scratch / "Venice");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch / "Venice");
    const Project project(".");
    std::filesystem::current_path(previous);
    EXPECT_EQ(project.settings.title, "Venice");
    EXPECT_EQ(project.outputFolder(), std::filesystem::canonical(scratch.path()) / "Venice gallery");
}

// Sorting works on items alone; these projects have no folder.
Item item(const std::string& name, TimePoint date = {}) {
    Item made;
    made.url = std::filesystem::path("/pictures") / name;
    made.date = date;
    made.modified = date;
    return made;
}

Project projectWith(std::vector<Item> items, const std::string& sort, bool reverse, std::vector<std::string> order = {}) {
    Project project;
    project.items = std::move(items);
    project.settings.sort = sort;
    project.settings.reverse = reverse;
    project.order = std::move(order);
    return project;
}

struct SortCase {
    const char* what;
    std::vector<Item> items;
    std::string sort;
    bool reverse;
    std::vector<std::string> order;
    std::vector<std::string> expected;
};

TEST(SortItems, OrdersByNameDateAndManualOrder) {
    const TimePoint early = utc(2023, 1, 1, 9, 0, 0);
    const TimePoint late = utc(2023, 6, 1, 9, 0, 0);
    const std::vector<SortCase> cases = {
        {"natural name order", {item("IMG_10.jpg"), item("img_2.jpg"), item("IMG_1.jpg")}, "name", false, {},
         {"IMG_1.jpg", "img_2.jpg", "IMG_10.jpg"}},
        {"reverse name order", {item("IMG_10.jpg"), item("img_2.jpg"), item("IMG_1.jpg")}, "name", true, {},
         {"IMG_10.jpg", "img_2.jpg", "IMG_1.jpg"}},
        {"unknown sort word sorts by name", {item("b.jpg"), item("a.jpg")}, "size", false, {}, {"a.jpg", "b.jpg"}},
        {"whole name with extension", {item("a.mov"), item("a.jpg")}, "name", false, {}, {"a.jpg", "a.mov"}},
        {"date, equal dates by name", {item("c.jpg", late), item("b.jpg", early), item("a.jpg", late)}, "date", false, {},
         {"b.jpg", "a.jpg", "c.jpg"}},
        {"reverse date inverts dates and names", {item("c.jpg", late), item("b.jpg", early), item("a.jpg", late)}, "date",
         true, {}, {"c.jpg", "a.jpg", "b.jpg"}},
        {"manual with repeats and unlisted files",
         {item("d.jpg"), item("c.jpg"), item("b.jpg"), item("a.jpg")}, "manual", false, {"b.jpg", "a.jpg", "b.jpg"},
         {"b.jpg", "a.jpg", "c.jpg", "d.jpg"}},
        {"manual ignores reverse", {item("d.jpg"), item("c.jpg"), item("b.jpg"), item("a.jpg")}, "manual", true,
         {"b.jpg", "a.jpg", "b.jpg"}, {"b.jpg", "a.jpg", "c.jpg", "d.jpg"}},
        {"manual order naming missing files", {item("x10.jpg"), item("x9.jpg"), item("z.jpg")}, "manual", false,
         {"gone.jpg", "z.jpg"}, {"z.jpg", "x9.jpg", "x10.jpg"}},
        {"names that compare equal keep their order", {item("B.jpg"), item("b.jpg"), item("a.jpg")}, "name", false, {},
         {"a.jpg", "B.jpg", "b.jpg"}},
        {"names that compare equal keep their order, swapped", {item("b.jpg"), item("B.jpg"), item("a.jpg")}, "name",
         false, {}, {"a.jpg", "b.jpg", "B.jpg"}},
        {"empty list", {}, "date", true, {}, {}},
    };
    for (const SortCase& c : cases) {
        Project project = projectWith(c.items, c.sort, c.reverse, c.order);
        const Project before = project;
        project.sortItems();
        EXPECT_EQ(names(project), c.expected) << c.what;
        // Only the order of items changes.
        EXPECT_EQ(project.persisted(), before.persisted()) << c.what;
    }
}

}  // namespace
}  // namespace lf::model

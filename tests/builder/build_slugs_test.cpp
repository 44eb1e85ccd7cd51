// Slugs name every file of an item in the built site: plain lower-case ASCII, and unique.
#include <gtest/gtest.h>

#include "builder/slugs.hpp"

namespace lf::builder {
namespace {

TEST(SlugifyTest, FoldsTransliteratesAndJoinsWithSingleDashes) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"IMG_0001", "img-0001"},
        {"Beach Day", "beach-day"},
        {"  --Été à Zürich!!  ", "ete-a-zurich"},
        {"ＡＢＣ１２３", "abc123"},         // full-width letters and digits
        {"Москва 2023", "moskva-2023"},
        {"東京", "dong-jing"},
        {"???", "item"},
        {"", "item"},
        {"a__b..c", "a-b-c"},
        {"Œuvre & Straße", "oeuvre-strasse"},
        {"smile 😀 face", "smile-face"},
        {"trailing---", "trailing"},
    };
    for (const auto& [name, slug] : cases) EXPECT_EQ(slugify(name), slug) << name;
}

model::Item item(const std::string& name) {
    model::Item made;
    made.url = "/pictures/" + name;
    return made;
}

TEST(AssignSlugsTest, NumbersRepeatsInItemOrder) {
    std::vector<model::Item> items{item("Beach.jpg"), item("beach.png"), item("IMG_0001.jpg"), item("IMG_0001.png"),
                                   item("beach-2.jpg"), item("???.jpg"), item("!!.mov"), item("archive.tar.gz.jpg")};
    assignSlugs(items);
    std::vector<std::string> slugs;
    for (const model::Item& each : items) slugs.push_back(each.slug);
    EXPECT_EQ(slugs, (std::vector<std::string>{"beach", "beach-2", "img-0001", "img-0001-2", "beach-2-2", "item",
                                               "item-2", "archive-tar-gz"}));
}

}  // namespace
}  // namespace lf::builder

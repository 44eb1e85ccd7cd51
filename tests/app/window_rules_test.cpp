// The rules behind what the main window shows: labels of the number controls at their ends, when
// rows are shown or greyed out, what a typed site name and domain become, and which location a
// drop opens.
#include <gtest/gtest.h>

#include <QUrl>

#include "app/window_rules.hpp"

namespace {

using lf::model::GallerySettings;

TEST(WindowRules, NumberLabelsAtTheirEnds) {
    struct Case {
        QString shown;
        QString expected;
    };
    const Case cases[] = {
        {lf::app::perPageLabel(0), "All thumbnails on one page"},
        {lf::app::perPageLabel(10), "10 thumbnails per page"},
        {lf::app::perPageLabel(1000), "1000 thumbnails per page"},
        {lf::app::thumbSizeLabel(60), "Thumbnails: 60 px"},
        {lf::app::imageSizeLabel(8000), "Pictures: 8000 px on the longest side"},
        {lf::app::qualityLabel(30), "JPEG quality: 30"},
        {lf::app::opacityLabel(5), "Opacity: 5%"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.shown.toStdString(), c.expected.toStdString());
}

TEST(WindowRules, TitleAndItemCount) {
    EXPECT_EQ(lf::app::windowTitle(std::nullopt).toStdString(), "Lanternfold");
    EXPECT_EQ(lf::app::itemCountText(std::nullopt).toStdString(), "");
    lf::model::Project project;
    project.folder = "/photos/Rome";
    project.items.resize(1);
    EXPECT_EQ(lf::app::windowTitle(project).toStdString(), "Rome");
    // No singular form, the same as the status line after opening.
    EXPECT_EQ(lf::app::itemCountText(project).toStdString(), "1 items");
}

TEST(WindowRules, OpacityRowNeedsAWatermarkWithText) {
    const std::pair<std::string, bool> cases[] = {
        {"", false}, {"   ", false}, {" \t ", false}, {"© Ann", true}, {"  x  ", true},
    };
    for (const auto& [text, enabled] : cases) {
        GallerySettings settings;
        settings.watermark = text;
        EXPECT_EQ(lf::app::opacityEnabled(settings), enabled) << "watermark “" << text << "”";
    }
}

TEST(WindowRules, ReverseIsGreyedOutForTheOwnOrder) {
    GallerySettings settings;
    for (const auto& [sort, enabled] : {std::pair{"name", true}, {"date", true}, {"manual", false}}) {
        settings.sort = sort;
        EXPECT_EQ(lf::app::reverseEnabled(settings), enabled) << sort;
    }
}

TEST(WindowRules, TypedSiteNameIsStoredInLowerCase) {
    EXPECT_EQ(lf::app::typedSiteName("My-Trip"), "my-trip");
    EXPECT_EQ(lf::app::typedSiteName("ROME-2024"), "rome-2024");
}

TEST(WindowRules, WillAppearAtShowsTheBareDomain) {
    EXPECT_EQ(lf::app::willAppearAt("rome", "https://www.Example.com/photos/").toStdString(), "rome.example.com");
    EXPECT_EQ(lf::app::willAppearAt("rome", "  photos.example.org ").toStdString(), "rome.photos.example.org");
    // Nothing usable typed: the row is hidden.
    EXPECT_TRUE(lf::app::willAppearAt("rome", "").isEmpty());
    EXPECT_TRUE(lf::app::willAppearAt("rome", "   ").isEmpty());
}

TEST(WindowRules, PublishedAddressAndCopy) {
    EXPECT_FALSE(lf::app::publishedAddress("").has_value());
    EXPECT_FALSE(lf::app::canCopyAddress(""));
    EXPECT_FALSE(lf::app::publishedAddress("not an address").has_value());
    EXPECT_TRUE(lf::app::canCopyAddress("not an address"));
    const auto address = lf::app::publishedAddress("https://rome.ann.workers.dev");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->host().toStdString(), "rome.ann.workers.dev");
}

TEST(WindowRules, DropOpensTheFirstLocalLocation) {
    EXPECT_FALSE(lf::app::droppedLocation({}).has_value());
    EXPECT_FALSE(lf::app::droppedLocation({QUrl("https://example.com/a.jpg")}).has_value());
    const auto location =
        lf::app::droppedLocation({QUrl("https://example.com/a.jpg"), QUrl::fromLocalFile("/photos/Rome/a.jpg"),
                                  QUrl::fromLocalFile("/photos/Paris")});
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->string(), "/photos/Rome/a.jpg");
}

TEST(WindowRules, PickerChoicesAndValues) {
    ASSERT_EQ(lf::app::languageChoices().size(), 5u);
    EXPECT_EQ(lf::app::languageChoices()[1].label.toStdString(), "Français");
    EXPECT_EQ(lf::app::languageChoices()[1].value, "fr");
    EXPECT_EQ(lf::app::sortChoices()[2].label.toStdString(), "My own order");
    EXPECT_EQ(lf::app::sortChoices()[2].value, "manual");
    EXPECT_EQ(lf::app::templateChoices()[0].value, "classic");
}

}  // namespace

// The settings pane bound to the real store both ways: what typing and stepping store, what the
// store's changes show, the rows that appear and grey out, accessible names and the focus order.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "platform/long_work.hpp"
#include "support/window_fixture.hpp"
#include "ui/app_shell.hpp"
#include "ui/gallery_tab.hpp"
#include "ui/pictures_tab.hpp"
#include "ui/publish_tab.hpp"
#include "ui/settings_form.hpp"
#include "ui/settings_pane.hpp"

namespace {

using lf::testing::waitFor;

// Clicks a toggle on its box, where a person clicks (a toggle spanning a row ignores clicks in the
// empty room after its text).
void clickToggle(QCheckBox* toggle) { QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2)); }

class SettingsPaneTest : public lf::testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        openAndWait(makeFolder("Rome", 2));
        pane_ = window_->settingsPane();
    }
    lf::model::GallerySettings settings() const { return store_->settings(); }
    void change(const std::function<void(lf::model::GallerySettings&)>& edit) {
        auto s = store_->settings();
        edit(s);
        store_->setSettings(s);
    }
    void typeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    lf::ui::SettingsPane* pane_ = nullptr;
};

TEST_F(SettingsPaneTest, PerPageStepperAtItsEnds) {
    change([](auto& s) { s.perPage = 10; });
    lf::ui::Stepper* perPage = pane_->gallery->perPage;
    EXPECT_EQ(perPage->label()->text().toStdString(), "10 thumbnails per page");
    perPage->spinBox()->stepDown();
    EXPECT_EQ(settings().perPage, 0);
    EXPECT_EQ(perPage->label()->text().toStdString(), "All thumbnails on one page");
    perPage->spinBox()->stepUp();
    EXPECT_EQ(settings().perPage, 10);
    EXPECT_EQ(perPage->label()->text().toStdString(), "10 thumbnails per page");
    // The accessible name follows the label, so a screen reader says what the number means.
    EXPECT_EQ(perPage->spinBox()->accessibleName().toStdString(), "10 thumbnails per page");
}

TEST_F(SettingsPaneTest, ChangesMadeElsewhereShowAtOnce) {
    change([](auto& s) {
        s.title = "Summer in Rome";
        s.thumbSize = 300;
        s.quality = 70;
        s.language = "fr";
        s.cfLastURL = "https://rome.ann.workers.dev";
    });
    EXPECT_EQ(pane_->gallery->title->text().toStdString(), "Summer in Rome");
    EXPECT_EQ(pane_->gallery->languagePicker->currentText().toStdString(), "Français");
    EXPECT_EQ(pane_->pictures->thumbSize->label()->text().toStdString(), "Thumbnails: 300 px");
    EXPECT_EQ(pane_->pictures->quality->label()->text().toStdString(), "JPEG quality: 70");
    EXPECT_TRUE(pane_->publish->address->text().contains("https://rome.ann.workers.dev"));
}

TEST_F(SettingsPaneTest, TypingEditsTheSettings) {
    pane_->setCurrentWidget(pane_->gallery);
    typeInto(pane_->gallery->title, "Holidays");
    EXPECT_EQ(settings().title, "Holidays");
    pane_->gallery->description->setFocus();
    QTest::keyClicks(pane_->gallery->description, "Two weeks");
    EXPECT_EQ(settings().galleryDescription, "Two weeks");
    clickToggle(pane_->gallery->showFilename);
    EXPECT_TRUE(settings().showFilename);
}

TEST_F(SettingsPaneTest, DescriptionGrowsFromTwoToSixLines) {
    lf::ui::GrowingTextEdit* description = pane_->gallery->description;
    change([](auto& s) { s.galleryDescription = ""; });
    const int twoLines = description->height();
    change([](auto& s) { s.galleryDescription = "one\ntwo\nthree\nfour"; });
    const int fourLines = description->height();
    EXPECT_EQ(fourLines - twoLines, 2 * description->fontMetrics().lineSpacing());
    change([](auto& s) { s.galleryDescription = "1\n2\n3\n4\n5\n6\n7\n8\n9"; });
    EXPECT_EQ(description->height() - twoLines, 4 * description->fontMetrics().lineSpacing());
}

TEST_F(SettingsPaneTest, SiteNameTypedInCapitalsIsStoredInLowerCase) {
    pane_->setCurrentWidget(pane_->publish);
    // Before anything is typed, the field shows the name proposed from the title.
    EXPECT_EQ(pane_->publish->siteName->text().toStdString(), store_->effectiveSiteName());
    typeInto(pane_->publish->siteName, "My-Trip");
    EXPECT_EQ(settings().cfSiteName, "my-trip");
    EXPECT_EQ(pane_->publish->siteName->text().toStdString(), "my-trip");
}

TEST_F(SettingsPaneTest, WillAppearAtShowsOnlyTheBareDomain) {
    pane_->setCurrentWidget(pane_->publish);
    change([](auto& s) { s.cfSiteName = "rome"; });
    EXPECT_FALSE(pane_->publish->willAppearAt->isVisible());
    typeInto(pane_->publish->domain, "https://www.Example.com/photos/");
    EXPECT_EQ(settings().cfDomain, "https://www.Example.com/photos/");
    EXPECT_TRUE(pane_->publish->willAppearAt->isVisible());
    EXPECT_EQ(pane_->publish->willAppearAt->text().toStdString(), "rome.example.com");
}

TEST_F(SettingsPaneTest, OpacityIsGreyedOutForAWatermarkOfSpaces) {
    pane_->setCurrentWidget(pane_->pictures);
    typeInto(pane_->pictures->watermark, "   ");
    EXPECT_EQ(settings().watermark, "   ");
    EXPECT_FALSE(pane_->pictures->opacity->isEnabled());
    QTest::keyClicks(pane_->pictures->watermark, "© Ann");
    EXPECT_TRUE(pane_->pictures->opacity->isEnabled());
    // The slider moves in steps of 5.
    pane_->pictures->opacity->slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(settings().watermarkOpacity, 45);
    EXPECT_EQ(pane_->pictures->opacity->label()->text().toStdString(), "Opacity: 45%");
}

TEST_F(SettingsPaneTest, ReverseIsGreyedOutForTheOwnOrder) {
    pane_->setCurrentWidget(pane_->gallery);
    QComboBox* sort = pane_->gallery->sortPicker;
    EXPECT_TRUE(pane_->gallery->reverse->isEnabled());
    sort->setFocus();
    QTest::keyClick(sort, Qt::Key_End);  // "My own order"
    EXPECT_EQ(settings().sort, "manual");
    EXPECT_FALSE(pane_->gallery->reverse->isEnabled());
    // The store recorded the order on screen when switching to manual.
    EXPECT_EQ(store_->project()->order.size(), 2u);
}

TEST_F(SettingsPaneTest, CopyAddressOnlyAfterAPublish) {
    pane_->setCurrentWidget(pane_->publish);
    EXPECT_FALSE(pane_->publish->copyAddress->isVisible());
    EXPECT_FALSE(pane_->publish->address->isVisible());
    change([](auto& s) { s.cfLastURL = "https://rome.ann.workers.dev"; });
    ASSERT_TRUE(pane_->publish->copyAddress->isVisible());
    EXPECT_TRUE(pane_->publish->address->isVisible());
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    QTest::mouseClick(pane_->publish->copyAddress, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "https://rome.ann.workers.dev");
}

TEST_F(SettingsPaneTest, TurningTheLockOffHidesTheFieldAndKeepsThePassword) {
    pane_->setCurrentWidget(pane_->publish);
    EXPECT_FALSE(pane_->publish->galleryPassword->isVisible());
    clickToggle(pane_->publish->locked);
    EXPECT_TRUE(settings().locked);
    ASSERT_TRUE(pane_->publish->galleryPassword->isVisible());
    typeInto(pane_->publish->galleryPassword, "open sesame");
    EXPECT_EQ(store_->galleryPassword().toStdString(), "open sesame");
    clickToggle(pane_->publish->locked);
    EXPECT_FALSE(settings().locked);
    EXPECT_FALSE(pane_->publish->galleryPassword->isVisible());
    EXPECT_EQ(store_->galleryPassword().toStdString(), "open sesame");
}

TEST_F(SettingsPaneTest, TokenHelpOpensAndCloses) {
    pane_->setCurrentWidget(pane_->publish);
    EXPECT_FALSE(pane_->publish->tokenHelp->isVisible());
    QTest::mouseClick(pane_->publish->tokenHelpToggle, Qt::LeftButton);
    EXPECT_TRUE(pane_->publish->tokenHelp->isVisible());
    EXPECT_TRUE(pane_->publish->tokenHelp->text().contains("2. Click Create Token, then Create Custom Token."));
}

TEST_F(SettingsPaneTest, EveryControlHasAnAccessibleName) {
    for (QWidget* tab : {static_cast<QWidget*>(pane_->gallery), static_cast<QWidget*>(pane_->pictures),
                         static_cast<QWidget*>(pane_->publish)}) {
        for (QWidget* control : tab->findChildren<QWidget*>()) {
            if (!(control->focusPolicy() & Qt::TabFocus)) continue;
            // The text part inside a spin box is named through the spin box itself.
            if (qobject_cast<QAbstractSpinBox*>(control->parentWidget())) continue;
            if (qobject_cast<QAbstractScrollArea*>(control) && !qobject_cast<QPlainTextEdit*>(control)) continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
                << control->metaObject()->className() << " in tab " << tab->metaObject()->className();
        }
    }
}

// The accessible names of the controls that take focus, in the order Tab visits them from first.
std::vector<std::string> focusOrder(QWidget* first, QWidget* within, int count) {
    std::vector<std::string> names;
    QWidget* widget = first;
    for (int i = 0; i < 200 && static_cast<int>(names.size()) < count; ++i, widget = widget->nextInFocusChain()) {
        if (!within->isAncestorOf(widget) || !(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisibleTo(within)) continue;
        names.push_back(widget->accessibleName().toStdString());
    }
    return names;
}

TEST_F(SettingsPaneTest, FocusMovesInReadingOrder) {
    const std::vector<std::string> gallery = {"Title", "Description", "Template", "Language",
                                              "Captions under thumbnails", "Show date taken", "Show file name",
                                              "Let visitors download originals", "Sort by", "Reverse order"};
    EXPECT_EQ(focusOrder(pane_->gallery->title, pane_->gallery, gallery.size()), gallery);
    const std::vector<std::string> publish = {"Site name", "API token", "Your domain", "Account ID", "Build and Publish",
                                              "Require a password to view this gallery", "How to get an API token",
                                              "Server", "User name", "Password", "Folder on server",
                                              "Secure connection (FTPS)", "Build and Upload"};
    EXPECT_EQ(focusOrder(pane_->publish->siteName, pane_->publish, publish.size()), publish);
}

TEST_F(SettingsPaneTest, BuildButtonsAreGreyedOutWhileBuilding) {
    EXPECT_TRUE(pane_->publish->buildAndPublish->isEnabled());
    EXPECT_TRUE(pane_->publish->buildAndUpload->isEnabled());
    auto operations = lf::app::BuildOperations::standard();
    operations.build = [](const lf::model::Project&, const std::optional<std::string>&, const lf::Progress&,
                          const lf::StopToken& stop) -> std::filesystem::path {
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock lock(mutex);
        stopped.wait(lock, stop, [] { return false; });
        throw lf::Cancelled();
    };
    store_->setBuildOperations(operations);
    store_->build(lf::app::Destination::none);
    ASSERT_TRUE(waitFor([&] { return store_->isBuilding(); }));
    EXPECT_FALSE(pane_->publish->buildAndPublish->isEnabled());
    EXPECT_FALSE(pane_->publish->buildAndUpload->isEnabled());
    store_->stopBuilding();
    ASSERT_TRUE(waitFor([&] { return !store_->isBuilding(); }));
    EXPECT_TRUE(pane_->publish->buildAndPublish->isEnabled());
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(SettingsPaneTest, ChangingASettingAndQuittingAtOnceWritesTheProjectFile) {
    lf::ui::AppShell shell;
    const auto folder = makeFolder("Venice", 1);
    shell.store().open(folder);
    ASSERT_TRUE(waitFor([&] { return shell.store().project() && !shell.store().isOpening(); }));
    auto* title = shell.mainWindow().settingsPane()->gallery->title;
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Carnival");
    // Quitting runs this before the autosave's second of quiet has passed.
    shell.saveOnQuit();
    EXPECT_NE(readFile(folder / "lanternfold.json").find("\"title\": \"Carnival\""), std::string::npos);
}

}  // namespace

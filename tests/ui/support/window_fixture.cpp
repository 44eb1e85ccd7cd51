#include "support/window_fixture.hpp"

#include <QImage>
#include <QTest>

namespace lf::testing {

bool waitFor(const std::function<bool()>& condition, int timeoutMs) { return QTest::qWaitFor(condition, timeoutMs); }

void writePicture(const std::filesystem::path& file) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "JPEG"));
}

void WindowTest::SetUp() {
    store_ = std::make_unique<app::ProjectStore>();
    window_ = std::make_unique<ui::MainWindow>(*store_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

void WindowTest::TearDown() {
    // Let a build or an open finish before the store goes, so no thread outlives the test.
    if (store_->isBuilding()) store_->stopBuilding();
    waitFor([this] { return !store_->isBuilding() && !store_->isOpening() && !store_->isReadingDetails(); });
    window_.reset();
    store_.reset();
}

std::filesystem::path WindowTest::makeFolder(const std::string& name, int pictures) {
    const auto folder = temp_ / name;
    std::filesystem::create_directories(folder);
    for (int i = 1; i <= pictures; ++i) writePicture(folder / ("a" + std::to_string(i) + ".jpg"));
    return folder;
}

void WindowTest::openAndWait(const std::filesystem::path& folder) {
    store_->open(folder);
    ASSERT_TRUE(waitFor([&] { return store_->project() && !store_->isOpening() && !store_->isReadingDetails(); }));
}

}  // namespace lf::testing

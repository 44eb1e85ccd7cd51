#pragma once
// What the widget tests share: a pictures folder made for the test, the real store and the main
// window on it, and a wait for a condition while the event loop runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/project_store.hpp"
#include "support/temporary_folder.hpp"
#include "ui/main_window.hpp"

namespace lf::testing {

// Runs the event loop until condition holds or timeoutMs pass; true when it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000);

// Writes a small JPEG picture.
void writePicture(const std::filesystem::path& file);

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A folder named name with the given number of pictures ("a1.jpg", "a2.jpg", …).
    std::filesystem::path makeFolder(const std::string& name, int pictures);
    // Opens folder in the store and waits until it is open and its details are read.
    void openAndWait(const std::filesystem::path& folder);

    TemporaryFolder temp_;
    std::unique_ptr<app::ProjectStore> store_;
    std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace lf::testing

#pragma once
// What the ProjectStore tests share: waiting for a condition while the event loop runs, a folder
// chooser and a workspace that answer at once and record what they were asked, and small pictures
// folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QString>
#include <QTest>
#include <QUrl>

#include "app/folder_chooser.hpp"
#include "app/workspace.hpp"

// Runs the event loop until the condition holds (at most 30 seconds, a generous bound for a loaded
// machine), then asserts it. The GoogleTest form of QTRY_VERIFY.
#define LF_TRY_VERIFY(condition)                                                            \
    ASSERT_TRUE(QTest::qWaitFor([&]() { return static_cast<bool>(condition); }, 30000)) \
        << "still false after waiting: " #condition

// Texts in failure messages as text, not as a list of UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace lf::test {

// Answers every request with the next prepared folder (nothing: the user cancelled).
class FakeChooser : public app::FolderChooser {
public:
    std::optional<std::filesystem::path> chooseFolder(const app::FolderRequest& request) override {
        requests.push_back(request);
        return answer;
    }
    std::optional<std::filesystem::path> answer;
    std::vector<app::FolderRequest> requests;
};

// Records what would have been opened or revealed.
class FakeWorkspace : public app::Workspace {
public:
    void openUrl(const QUrl& url) override { opened.push_back(url); }
    void revealFolder(const std::filesystem::path& folder) override { revealed.push_back(folder); }
    std::vector<QUrl> opened;
    std::vector<std::filesystem::path> revealed;
};

// "p1.jpg", "p2.jpg", …: the pictures of makeFolder. (Appended piece by piece: GCC 12 warns wrongly
// about "literal + string" here, -Wrestrict.)
inline std::string pictureName(int number) {
    std::string name = "p";
    name += std::to_string(number);
    name += ".jpg";
    return name;
}

// A folder "parent/name" with `count` small JPEG pictures "p1.jpg", "p2.jpg", … and, when
// settingsJson is not empty, a lanternfold.json with those settings.
std::filesystem::path makeFolder(const std::filesystem::path& parent, const std::string& name, int count,
                                 const std::string& settingsJson = "");

}  // namespace lf::test

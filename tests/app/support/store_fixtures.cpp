#include "app/support/store_fixtures.hpp"

#include "model/support/fixtures.hpp"

namespace lf::test {

namespace fs = std::filesystem;

fs::path makeFolder(const fs::path& parent, const std::string& name, int count, const std::string& settingsJson) {
    const fs::path folder = parent / name;
    fs::create_directories(folder);
    for (int index = 1; index <= count; ++index) {
        lf::testing::makePicture(folder / pictureName(index));
    }
    if (!settingsJson.empty()) {
        lf::testing::writeWhole(folder / "lanternfold.json", R"({"app": "Lanternfold", "version": "1.0", "settings": )" + settingsJson + "}");
    }
    return folder;
}

}  // namespace lf::test

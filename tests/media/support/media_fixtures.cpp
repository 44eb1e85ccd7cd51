#include "media/support/media_fixtures.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace lf::media::testing {

fs::path samplesFolder() {
    const fs::path folder = fs::path(LF_TEST_BINARY_DIR) / "media-samples";
    fs::create_directories(folder);
    return folder;
}

bool run(const std::string& command) {
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

std::string capture(const std::string& command) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) output.append(buffer, count);
    return output;
}

Picture solid(int width, int height, Colour colour) {
    initialize();
    return (Picture::black(width, height, Picture::option()->set("bands", 3)) +
            std::vector<double>{double(colour[0]), double(colour[1]), double(colour[2])})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

Picture withRectangle(const Picture& picture, int left, int top, int width, int height, Colour colour) {
    return picture.insert(solid(width, height, colour), left, top);
}

Colour pixel(const Picture& picture, int x, int y) {
    const std::vector<double> values = picture.getpoint(x, y);
    if (values.size() < 3) return {int(values.at(0)), int(values.at(0)), int(values.at(0))};
    return {int(values[0] + 0.5), int(values[1] + 0.5), int(values[2] + 0.5)};
}

bool near(const Colour& a, const Colour& b, int tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
}

std::string describe(const Colour& colour) {
    std::ostringstream text;
    text << "(" << colour[0] << ", " << colour[1] << ", " << colour[2] << ")";
    return text.str();
}

}  // namespace lf::media::testing

#pragma once
// Fixtures for the media tests: temporary folders, pictures made with libvips, movies made with
// ffmpeg's lavfi sources, metadata written with exiftool, and pixel reads.
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "media/picture.hpp"
#include "support/shell_quoted.hpp"
#include "support/temporary_folder.hpp"

namespace lf::media::testing {

namespace fs = std::filesystem;

using ::lf::testing::TemporaryFolder;

using Colour = std::array<int, 3>;

inline constexpr Colour red{220, 30, 30};
inline constexpr Colour green{30, 200, 40};
inline constexpr Colour blue{30, 40, 220};
inline constexpr Colour white{255, 255, 255};
inline constexpr Colour yellow{240, 220, 20};

// The folder inside the build folder where tests leave pictures to look at by eye.
fs::path samplesFolder();

// Runs a shell command; fails the calling test (and returns false) when it exits with non-zero.
bool run(const std::string& command);

// Runs a shell command and returns its standard output.
std::string capture(const std::string& command);

// A file name quoted for the shell.
using ::lf::testing::shellQuoted;

// A width × height picture of one colour (3-band 8-bit sRGB).
Picture solid(int width, int height, Colour colour);

// The picture with a rectangle of another colour drawn on it.
Picture withRectangle(const Picture& picture, int left, int top, int width, int height, Colour colour);

// Pixel (x, y), x from the left, y from the top, as three 0-255 values (alpha dropped).
Colour pixel(const Picture& picture, int x, int y);

// Whether every channel of a is within tolerance of b.
bool near(const Colour& a, const Colour& b, int tolerance);

std::string describe(const Colour& colour);

}  // namespace lf::media::testing

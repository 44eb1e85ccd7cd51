// The practical limit of a gallery build on this machine: libvips alone doing, for each picture,
// what a build does with one decode: the display picture (longer side at most 1600, JPEG quality 85,
// no metadata), then the 440 × 440 square cut from that decoded picture (JPEG quality 78). Nothing
// else: no watermark step, no pages, no manifest, no atomic writes.
// Usage: vips_reference OUTPUT_FOLDER PICTURE...
// Run it once for one process, or several copies on parts of the pictures for several processes.
#include <cstdio>
#include <filesystem>
#include <string>

#include <vips/vips8>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER PICTURE...\n", argv[0]);
        return 2;
    }
    if (VIPS_INIT(argv[0]) != 0) return 1;
    const std::filesystem::path output = argv[1];
    std::filesystem::create_directories(output);
    using vips::VImage;
    try {
        for (int index = 2; index < argc; ++index) {
            const std::string stem = std::filesystem::path(argv[index]).stem().string();
            const VImage display =
                VImage::thumbnail(argv[index], 1600, VImage::option()->set("height", 1600)->set("size", VIPS_SIZE_DOWN))
                    .copy_memory();
            display.jpegsave((output / (stem + ".jpg")).c_str(), VImage::option()->set("Q", 85)->set("strip", true));
            const VImage square = display.thumbnail_image(
                440, VImage::option()->set("height", 440)->set("crop", VIPS_INTERESTING_CENTRE));
            square.jpegsave((output / (stem + "-square.jpg")).c_str(), VImage::option()->set("Q", 78)->set("strip", true));
        }
    } catch (const vips::VError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

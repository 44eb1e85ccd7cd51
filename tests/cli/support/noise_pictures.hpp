#pragma once
// Camera-named JPEGs of grey-scale noise for the command-line tests: IMG_0001.jpg, IMG_0002.jpg…,
// each seeded by its number, so every run writes the same bytes. Needs libvips started.
#include <cstdio>
#include <filesystem>

#include <vips/vips8>

namespace lf::test {

inline void makeNoisePictures(const std::filesystem::path& folder, int count, int width, int height) {
    for (int index = 0; index < count; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.jpg", index + 1);
        vips::VImage noise = vips::VImage::gaussnoise(width, height, vips::VImage::option()->set("seed", index + 1));
        noise.bandjoin({noise, noise})
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .write_to_file((folder / name).c_str());
    }
}

}  // namespace lf::test

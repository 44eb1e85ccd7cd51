// Times what the build does for one picture at the default settings: the display picture
// (decodeScaled at 1600, renderPicture, writeJPEG at quality 85) and the square thumbnail
// (pictureThumbnail at 440, writeJPEG at 78), each decoding the source once, as the build does.
// Usage: media_bench PICTURE OUTPUT_FOLDER [ROUNDS] [WATERMARK]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/media.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Summary {
    double median = 0, best = 0;
};

Summary summarize(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PICTURE OUTPUT_FOLDER [ROUNDS] [WATERMARK]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path picture = argv[1];
    const std::filesystem::path output = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    const std::string watermark = argc > 4 ? argv[4] : "";
    std::filesystem::create_directories(output);

    std::vector<double> display, thumbnail, total;
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point start = Clock::now();
        const auto source = lf::media::ImageSource::open(picture);
        if (!source) {
            std::fprintf(stderr, "cannot open %s\n", picture.c_str());
            return 1;
        }
        const auto decoded = lf::media::decodeScaled(*source, 1600);
        const auto rendered = decoded ? lf::media::renderPicture(*decoded, watermark, 40) : std::nullopt;
        if (!rendered) return 1;
        lf::media::writeJPEG(*rendered, output / "display.jpg", 85);
        const double displayTime = millisecondsSince(start);

        const Clock::time_point thumbStart = Clock::now();
        const auto square = lf::media::pictureThumbnail(*source, 440);
        if (!square) return 1;
        lf::media::writeJPEG(*square, output / "thumb.jpg", 78);
        const double thumbTime = millisecondsSince(thumbStart);

        display.push_back(displayTime);
        thumbnail.push_back(thumbTime);
        total.push_back(displayTime + thumbTime);
    }
    const Summary d = summarize(display), t = summarize(thumbnail), all = summarize(total);
    std::printf("lanternfold  display 1600 (decode+render+write): median %7.1f ms  best %7.1f ms\n", d.median, d.best);
    std::printf("lanternfold  thumbnail 440 (decode+crop+write):   median %7.1f ms  best %7.1f ms\n", t.median, t.best);
    std::printf("lanternfold  per item:                           median %7.1f ms  best %7.1f ms\n", all.median, all.best);
    return 0;
}

// Times what the build does for one picture at the default settings, step by step: the display
// picture (decodeScaled at 1600, renderPicture, writeJPEG at quality 85) and the square thumbnail
// (squareThumbnail at 440 cut from the decoded display picture, writeJPEG at 78), as the build does
// when the display picture is large enough. For comparison it also times the square decoded from the
// file a second time (pictureThumbnail), which the build uses for pictures too small to serve.
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

    std::vector<double> decode, render, writeDisplay, square, writeSquare, display, thumbnail, total, fileSquare;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point step = Clock::now();
        const Clock::time_point start = step;
        const auto lap = [&step](std::vector<double>& into) {
            into.push_back(millisecondsSince(step));
            step = Clock::now();
        };
        const auto source = lf::media::ImageSource::open(picture);
        if (!source) {
            std::fprintf(stderr, "cannot open %s\n", picture.c_str());
            return 1;
        }
        const auto decoded = lf::media::decodeScaled(*source, 1600);
        if (!decoded) return 1;
        lap(decode);
        const auto rendered = lf::media::renderPicture(*decoded, watermark, 40);
        if (!rendered) return 1;
        lap(render);
        lf::media::writeJPEG(*rendered, output / "display.jpg", 85);
        lap(writeDisplay);
        display.push_back(millisecondsSince(start));

        const Clock::time_point thumbStart = Clock::now();
        const auto cut = lf::media::squareThumbnail(*decoded, 440);
        if (!cut) return 1;
        lap(square);
        lf::media::writeJPEG(*cut, output / "thumb.jpg", 78);
        lap(writeSquare);
        thumbnail.push_back(millisecondsSince(thumbStart));
        total.push_back(millisecondsSince(start));

        const Clock::time_point fileStart = Clock::now();
        const auto decodedSquare = lf::media::pictureThumbnail(*source, 440);
        if (!decodedSquare) return 1;
        lf::media::writeJPEG(*decodedSquare, output / "thumb-from-file.jpg", 78);
        fileSquare.push_back(millisecondsSince(fileStart));
    }
    const auto line = [](const char* name, const std::vector<double>& values) {
        const Summary s = summarize(values);
        std::printf("lanternfold  %-44s median %7.1f ms  best %7.1f ms\n", name, s.median, s.best);
    };
    line("per item:", total);
    line("display 1600 (decode+render+write):", display);
    line("  decode (open + decodeScaled):", decode);
    line("  render (flatten, watermark):", render);
    line("  write JPEG Q85:", writeDisplay);
    line("thumbnail 440 (crop from display+write):", thumbnail);
    line("  crop (squareThumbnail):", square);
    line("  write JPEG Q78:", writeSquare);
    line("(square decoded from the file again+write):", fileSquare);
    return 0;
}

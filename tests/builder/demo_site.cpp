// lf_demo_site: writes a small gallery site with real pictures, a movie and a sound, so the pages
// can be opened in a browser and the browser tests have a site to drive.
//
//   lf_demo_site OUTPUT [--template classic|dark|minimal] [--language en|fr|de|it|nl] [--home URL]
//
// Ten items on three index pages (four per page): pictures with and without captions (one of
// two lines, one with characters that need escaping), a portrait picture, a movie and a sound. The
// pictures are drawn with libvips; the movie and the sound are made by the ffmpeg program. Prints
// the path of the written index.html.
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <vips/vips8>

#include "builder/page_writer.hpp"

extern char** environ;

namespace fs = std::filesystem;
using lf::builder::BuiltEntries;
using lf::builder::BuiltEntry;
using lf::model::Item;
using lf::model::MediaKind;
using vips::VImage;

namespace {

struct Colour {
    double r, g, b;
};

// A sky from top to horizon, a darker ground below it and a round sun: enough to look like a
// photograph in a thumbnail grid, and different for every item.
VImage landscape(int width, int height, Colour top, Colour horizon, Colour ground, Colour sun, double sunX,
                 double sunY) {
    VImage xyz = VImage::xyz(width, height);
    VImage x = xyz[0] / double(width);
    VImage y = xyz[1] / double(height);
    const double line = 0.62;
    VImage skyT = y / line;
    VImage groundT = (y - line) / (1 - line);
    auto blend = [](VImage t, double a, double b) { return t * (b - a) + a; };
    VImage sky = blend(skyT, top.r, horizon.r).bandjoin(blend(skyT, top.g, horizon.g)).bandjoin(blend(skyT, top.b, horizon.b));
    VImage land = blend(groundT, ground.r, ground.r * 0.45)
                      .bandjoin(blend(groundT, ground.g, ground.g * 0.45))
                      .bandjoin(blend(groundT, ground.b, ground.b * 0.45));
    VImage aspect = x * (double(width) / height);
    VImage distance = ((aspect - sunX * width / height).pow(2) + (y - sunY).pow(2)).pow(0.5);
    VImage sunDisc = VImage::black(width, height, VImage::option()->set("bands", 3)) +
                     std::vector<double>{sun.r, sun.g, sun.b};
    VImage picture = (distance < 0.09).ifthenelse(sunDisc, sky);
    picture = (y > line).ifthenelse(land, picture);
    return picture.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage squareThumbnail(const VImage& picture, int side) {
    return picture.thumbnail_image(side, VImage::option()->set("height", side)->set("crop", VIPS_INTERESTING_CENTRE));
}

// A quiet square with a note, standing in for the picture of a sound.
VImage soundPlaceholder(int side) {
    VImage background = VImage::black(side, side, VImage::option()->set("bands", 3)) + std::vector<double>{58, 66, 84};
    VImage note = VImage::text("\u266A", VImage::option()->set("font", "sans 260")->set("dpi", 72));
    VImage ink = note.embed((side - note.width()) / 2, (side - note.height()) / 2, side, side);
    VImage tint = VImage::black(side, side, VImage::option()->set("bands", 3)) + std::vector<double>{226, 218, 200};
    return (ink > 128).ifthenelse(tint, background).cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void runProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("Couldn’t start " + arguments[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("Couldn’t wait for " + arguments[0]);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(arguments[0] + " failed");
}

std::chrono::system_clock::time_point day(int year, unsigned month, unsigned d) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{d}} + hours{12};
}

struct DemoPicture {
    const char* file;
    const char* slug;
    const char* caption;  // typed caption; nullptr for none
    bool dated;           // has a date taken
    int width, height;
    Colour top, horizon, ground, sun;
    double sunX, sunY;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "Usage: lf_demo_site OUTPUT [--template NAME] [--language CODE] [--home URL]\n";
        return 2;
    }
    const fs::path output = fs::absolute(argv[1]);
    lf::model::Project project;
    project.folder = "/home/demo/Pictures/Coast";
    project.settings.title = "Coast in Autumn";
    project.settings.galleryDescription = "Three days along the northern coast:\nlighthouses, harbours & dunes.";
    project.settings.perPage = 4;
    project.settings.allowDownload = true;
    std::optional<std::string> homeURL;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--template") project.settings.templateName = argv[i + 1];
        else if (option == "--language") project.settings.language = argv[i + 1];
        else if (option == "--home") homeURL = argv[i + 1];
        else {
            std::cerr << "lf_demo_site: unknown option " << option << "\n";
            return 2;
        }
    }

    if (VIPS_INIT(argv[0])) {
        std::cerr << "lf_demo_site: libvips could not start\n";
        return 1;
    }
    try {
        for (const char* folder : {"images", "thumbs", "media", "originals", "p"}) fs::create_directories(output / folder);
        const int thumbSide = project.settings.thumbSize * 2;

        const DemoPicture pictures[] = {
            {"Lighthouse.jpg", "lighthouse", "Lighthouse at dusk", true, 1500, 1000,
             {32, 44, 92}, {238, 140, 92}, {40, 52, 46}, {255, 226, 170}, 0.62, 0.5},
            {"Harbour.jpg", "harbour", "Harbour\nmorning fog over the boats", true, 1500, 1000,
             {150, 170, 186}, {214, 220, 222}, {70, 86, 96}, {240, 236, 222}, 1.05, 0.42},
            {"Dunes.jpg", "dunes", nullptr, false, 1500, 1000,
             {70, 132, 204}, {176, 214, 236}, {214, 186, 132}, {255, 250, 226}, 0.3, 0.2},
            {"Tide Pools.jpg", "tide-pools", "Tide \"pools\" & <rocks> at low water", true, 1500, 1000,
             {40, 96, 120}, {120, 190, 196}, {58, 70, 62}, {250, 244, 210}, 1.2, 0.35},
            {"Pier.jpg", "pier", "The old pier", true, 800, 1200,
             {90, 60, 120}, {240, 170, 120}, {36, 36, 44}, {255, 214, 150}, 0.33, 0.45},
            {"Sunset.jpg", "sunset", "Last light", true, 1500, 1000,
             {60, 24, 60}, {250, 120, 60}, {28, 24, 30}, {255, 200, 120}, 0.75, 0.56},
            {"Cliffs.jpg", "cliffs", "Chalk cliffs", false, 1500, 1000,
             {96, 150, 200}, {200, 224, 236}, {120, 132, 96}, {255, 255, 236}, 1.3, 0.2},
            {"Beach Huts.jpg", "beach-huts", nullptr, true, 1500, 1000,
             {120, 170, 220}, {236, 228, 210}, {200, 170, 120}, {255, 246, 214}, 0.2, 0.3},
        };

        std::vector<Item> items;
        BuiltEntries entries;
        auto addItem = [&](const std::string& file, MediaKind kind, const std::string& slug, bool dated, int dayOfMonth) {
            Item item;
            item.url = project.folder / file;
            item.kind = kind;
            item.modified = day(2026, 10, static_cast<unsigned>(dayOfMonth));
            item.date = item.modified;
            item.dateIsExif = dated;
            item.metadataLoaded = true;
            item.slug = slug;
            items.push_back(item);
            return items.size() - 1;
        };

        int dayOfMonth = 3;
        auto addPicture = [&](const DemoPicture& p) {
            const size_t index = addItem(p.file, MediaKind::image, p.slug, p.dated, dayOfMonth++);
            if (p.caption) project.captions[p.file] = p.caption;
            const VImage picture = landscape(p.width, p.height, p.top, p.horizon, p.ground, p.sun, p.sunX, p.sunY);
            const std::string display = std::string("images/") + p.slug + ".jpg";
            const std::string original = std::string("originals/") + p.slug + ".jpg";
            picture.jpegsave((output / display).c_str(), VImage::option()->set("Q", 85)->set("strip", true));
            fs::copy_file(output / display, output / original, fs::copy_options::overwrite_existing);
            squareThumbnail(picture, thumbSide)
                .jpegsave((output / "thumbs" / (std::string(p.slug) + ".jpg")).c_str(), VImage::option()->set("Q", 85));
            BuiltEntry entry;
            entry.source = p.file;
            entry.kind = MediaKind::image;
            entry.display = display;
            entry.w = p.width;
            entry.h = p.height;
            entry.original = original;
            entry.files = {"thumbs/" + std::string(p.slug) + ".jpg", display, original};
            entries[p.slug] = entry;
            (void)index;
        };

        addPicture(pictures[0]);
        addPicture(pictures[1]);

        // A movie: slowly turning evening colours with a tone, and its first frame as the poster thumbnail.
        addItem("Boats.mp4", MediaKind::video, "boats", false, dayOfMonth++);
        project.captions["Boats.mp4"] = "Boats leaving the harbour";
        const std::string movie = (output / "media" / "boats.mp4").string();
        runProgram({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "gradients=s=640x360:c0=0x1d3557:c1=0xe9c46a:c2=0xe76f51:n=3:speed=0.03:seed=7:d=6:r=25", "-f", "lavfi", "-i",
                    "sine=frequency=330:duration=6", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                    "-shortest", "-movflags", "+faststart", movie});
        const std::string side = std::to_string(thumbSide);
        runProgram({"ffmpeg", "-loglevel", "error", "-y", "-i", movie, "-frames:v", "1", "-vf",
                    "scale=" + side + ":" + side + ":force_original_aspect_ratio=increase,crop=" + side + ":" + side,
                    (output / "thumbs" / "boats.jpg").string()});
        entries["boats"] = BuiltEntry{"Boats.mp4", {0, 0}, "", MediaKind::video, "media/boats.mp4",
                                      std::nullopt, std::nullopt, std::nullopt,
                                      {"thumbs/boats.jpg", "media/boats.mp4"}};

        addPicture(pictures[2]);

        // A sound: a few seconds of a soft chord.
        addItem("Gulls.m4a", MediaKind::audio, "gulls", false, dayOfMonth++);
        project.captions["Gulls.m4a"] = "Gulls over the breakwater";
        runProgram({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=523:duration=4", "-c:a", "aac", (output / "media" / "gulls.m4a").string()});
        soundPlaceholder(thumbSide).jpegsave((output / "thumbs" / "gulls.jpg").c_str(), VImage::option()->set("Q", 85));
        entries["gulls"] = BuiltEntry{"Gulls.m4a", {0, 0}, "", MediaKind::audio, "media/gulls.m4a",
                                      std::nullopt, std::nullopt, std::nullopt,
                                      {"thumbs/gulls.jpg", "media/gulls.m4a"}};

        addPicture(pictures[3]);
        addPicture(pictures[4]);
        addPicture(pictures[5]);
        addPicture(pictures[6]);
        addPicture(pictures[7]);

        lf::builder::writePages(project, items, entries, output, homeURL);
    } catch (const std::exception& error) {
        std::cerr << "lf_demo_site: " << error.what() << "\n";
        return 1;
    }
    std::cout << (output / "index.html").string() << "\n";
    return 0;
}

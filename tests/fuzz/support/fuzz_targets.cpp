#include "fuzz/support/fuzz_targets.hpp"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unicode/ustring.h>

#include "builder/build_manifest.hpp"
#include "builder/html.hpp"
#include "builder/slugs.hpp"
#include "home/gallery_discovery.hpp"
#include "home/gallery_manifest.hpp"
#include "home/home_manifest.hpp"
#include "home/home_settings.hpp"
#include "model/photo_details.hpp"
#include "model/project.hpp"
#include "platform/error.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"

namespace lf::fuzz {

namespace {

std::string_view textOf(std::span<const uint8_t> input) {
    return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// A broken promise of a reader: stops the run so that libFuzzer (or the regression test) reports
// the input.
void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void projectFile(std::span<const uint8_t> input) {
    model::Project project;
    if (!project.applyProjectFile(textOf(input))) return;
    // What was read must survive the normalisation every save does.
    project.settings.normalize();
}

void galleryManifest(std::span<const uint8_t> input) {
    auto manifest = home::GalleryManifest::decode(textOf(input));
    if (!manifest) return;
    // Whatever was accepted is written back and read again unchanged.
    auto again = home::GalleryManifest::decode(manifest->encoded());
    require(again && *again == *manifest, "gallery manifest round trip");
}

void homeManifest(std::span<const uint8_t> input) {
    auto manifest = home::HomeManifest::decode(textOf(input));
    if (!manifest) return;
    auto again = home::HomeManifest::decode(manifest->encoded());
    require(again && *again == *manifest, "home manifest round trip");
}

void buildManifest(std::span<const uint8_t> input) {
    auto manifest = builder::BuildManifest::decode(textOf(input));
    if (!manifest) return;
    auto again = builder::BuildManifest::decode(manifest->encoded());
    require(again.has_value(), "build manifest written from a read one reads again");
}

void homeSettings(std::span<const uint8_t> input) {
    const home::HomeSettings settings = home::HomeSettings::decode(textOf(input));
    require(home::HomeSettings::decode(settings.encoded()) == settings, "home settings round trip");
}

void indexPage(std::span<const uint8_t> input) {
    (void)home::parseIndexPage("site", "https://site.example.com/", "https://site.account.workers.dev/",
                               std::string(textOf(input)), std::nullopt);
}

void slugAndEscape(std::span<const uint8_t> input) {
    const std::string_view text = textOf(input);
    const std::string slug = builder::slugify(text);
    require(!slug.empty(), "a slug is never empty");
    for (char c : slug) {
        require((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-', "a slug is plain lower-case ASCII");
    }
    require(slug.front() != '-' && slug.back() != '-', "a slug has no dash at either end");

    const std::string escaped = builder::htmlEscape(text);
    for (char c : escaped) require(c != '<' && c != '>' && c != '"' && c != '\'', "escaped text holds no markup");
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, escaped.data(), static_cast<int32_t>(escaped.size()), &status);
    require(status != U_INVALID_CHAR_FOUND, "escaped text is valid UTF-8");
}

void cloudflareEnvelope(std::span<const uint8_t> input) {
    // The first two bytes choose the status, so refusals and successes are both explored.
    long status = 200;
    if (input.size() >= 2) {
        status = 100 + (input[0] << 8 | input[1]) % 500;
        input = input.subspan(2);
    }
    try {
        (void)publish::cloudflare::unwrapEnvelope(status, std::string(textOf(input)));
    } catch (const lf::Error& error) {
        require(!std::string(error.what()).empty(), "a refusal has a message");
    }
}

// Photo details are read from a file: the first byte picks the kind of picture the name claims, so
// each of Exiv2's readers (and the HEIF path through libvips) sees the bytes.
void photoDetails(std::span<const uint8_t> input) {
    static const std::array<const char*, 4> extensions{".jpg", ".tif", ".png", ".heic"};
    const char* extension = extensions[input.empty() ? 0 : input[0] % extensions.size()];
    if (!input.empty()) input = input.subspan(1);
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("lanternfold-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const auto file = folder / (std::string("input") + extension);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    }
    (void)model::readPhotoDetails(file);
}

constexpr std::array<Target, 9> allTargets{{
    {"project_file", projectFile},
    {"gallery_manifest", galleryManifest},
    {"home_manifest", homeManifest},
    {"build_manifest", buildManifest},
    {"home_settings", homeSettings},
    {"index_page", indexPage},
    {"slug_escape", slugAndEscape},
    {"cloudflare_envelope", cloudflareEnvelope},
    {"photo_details", photoDetails},
}};

}  // namespace

std::span<const Target> targets() { return allTargets; }

Entry entryNamed(std::string_view name) {
    for (const Target& target : allTargets) {
        if (target.name == name) return target.entry;
    }
    return nullptr;
}

}  // namespace lf::fuzz

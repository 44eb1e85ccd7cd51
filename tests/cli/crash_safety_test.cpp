// A build killed outright (SIGKILL: no handler runs, nothing is flushed) at random moments: every
// file it leaves is either its old self or whole, the next build finishes, reuses every item that the
// build manifest left on disk still vouches for, and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <vips/vips8>

#include "builder/build_manifest.hpp"
#include "cli/support/noise_pictures.hpp"
#include "home/gallery_manifest.hpp"
#include "platform/json.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The temporary files of an atomic write: hidden, ending in ".tmp".
bool isTemporary(const fs::path& file) {
    const std::string name = file.filename().string();
    return !name.empty() && name.front() == '.' && endsWith(name, ".tmp");
}

// Which file, and what it was: a rewritten file gets a new inode through its rename.
struct FileIdentity {
    ino_t inode = 0;
    int64_t modified = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return {};
    return {info.st_ino, static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

class CrashSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lanternfold-crash-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        root_ = pattern;
        fs::create_directories(pictures());
        ASSERT_EQ(VIPS_INIT("crash_safety_test"), 0);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path pictures() const { return root_ / "Trip"; }
    fs::path output() const { return root_ / "Trip gallery"; }

    void makePictures(int count) { lf::test::makeNoisePictures(pictures(), count, 1200, 800); }

    // Settings that differ from round to round, so every round's build has real work to do.
    void writeProjectFile(int quality) {
        std::ofstream(pictures() / "lanternfold.json")
            << R"({"app":"Lanternfold","version":"1.0","settings":{"allow_download":true,"quality":)" << quality
            << "}}";
    }

    pid_t startBuild() {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (root_ / "stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all{LF_BINARY, "build", pictures().string()};
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, LF_BINARY, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static int waitFor(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Kills the build once its progress on standard error has reached the given step (the item
    // it prepares, or itemCount for writing the pages) and the extra delay has passed, unless it
    // has finished by then; true when it was killed. Following the progress keeps the moments
    // spread over the whole build however busy the machine is.
    bool killAt(pid_t pid, int step, int itemCount, Clock::duration delay) {
        int status = 0;
        const auto reached = [&] {
            const std::string progress = readText(root_ / "stderr");
            if (step >= itemCount) return progress.find("Writing pages") != std::string::npos;
            int prepared = 0;
            for (size_t at = progress.find("Preparing"); at != std::string::npos; at = progress.find("Preparing", at + 1)) {
                ++prepared;
            }
            return prepared > step;
        };
        while (!reached()) {
            if (::waitpid(pid, &status, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const Clock::time_point moment = Clock::now() + delay;
        while (Clock::now() < moment) {
            if (::waitpid(pid, &status, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return true;
    }

    // Every file below folder except temporary files.
    static std::vector<fs::path> filesBelow(const fs::path& folder) {
        std::vector<fs::path> files;
        std::error_code code;
        for (auto it = fs::recursive_directory_iterator(folder, code); !code && it != fs::recursive_directory_iterator();
             it.increment(code)) {
            if (it->is_regular_file()) files.push_back(it->path());
        }
        return files;
    }

    // Checks that a file the build writes is whole: pictures decode to the last pixel, pages end
    // with their closing tag, manifests and the project file decode.
    static void expectWhole(const fs::path& file) {
        SCOPED_TRACE(file.string());
        const std::string name = file.filename().string();
        const std::string extension = file.extension().string();
        if (extension == ".jpg") {
            vips::VImage image = vips::VImage::new_from_file(
                file.c_str(), vips::VImage::option()->set("fail", true)->set("access", VIPS_ACCESS_SEQUENTIAL));
            EXPECT_NO_THROW(image.avg());
        } else if (extension == ".html") {
            EXPECT_TRUE(endsWith(readText(file), "</html>\n"));
        } else if (name == lf::builder::BuildManifest::fileName) {
            EXPECT_TRUE(lf::builder::BuildManifest::decode(readText(file)).has_value());
        } else if (name == lf::home::GalleryManifest::fileName) {
            EXPECT_TRUE(lf::home::GalleryManifest::decode(readText(file)).has_value());
        } else if (name == "lanternfold.json") {
            const auto value = lf::json::parse(readText(file));
            EXPECT_TRUE(value && value->is_object());
        } else {
            EXPECT_GT(fs::file_size(file), 0u);
        }
    }

    // The entries of the build manifest on disk (by slug) whose files are all still those it
    // recorded (none rewritten after the manifest was written), with those files as they are.
    struct Recorded {
        std::string sig;
        std::map<fs::path, FileIdentity> files;
    };
    std::map<std::string, Recorded> recordedEntries() const {
        std::map<std::string, Recorded> recorded;
        const fs::path file = output() / lf::builder::BuildManifest::fileName;
        if (!fs::exists(file)) return recorded;
        const auto manifest = lf::builder::BuildManifest::decode(readText(file));
        if (!manifest) return recorded;
        const FileIdentity written = identityOf(file);
        for (const auto& [slug, entry] : manifest->items) {
            Recorded files{entry.sig, {}};
            bool usable = true;
            for (const std::string& path : entry.files) {
                const FileIdentity identity = identityOf(output() / path);
                usable = usable && identity.inode != 0 && identity.modified <= written.modified;
                files.files[output() / path] = identity;
            }
            if (usable) recorded[slug] = files;
        }
        return recorded;
    }

    fs::path root_;
};

TEST_F(CrashSafetyTest, KilledBuildsLeaveWholeFilesAndTheNextBuildFinishesTheRest) {
    const int itemCount = 36;
    makePictures(itemCount);

    // A first whole build gives the length of a build; an item's share of it bounds the random delay
    // after the random step of progress.
    writeProjectFile(60);
    const Clock::time_point started = Clock::now();
    ASSERT_EQ(waitFor(startBuild()), 0) << readText(root_ / "stderr");
    const auto length = Clock::now() - started;

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int killed = 0;
    size_t kept = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Every other round changes the quality, so half the kills land in a build that remakes
        // every picture, and the other half in one that reuses what the last build recorded.
        writeProjectFile(61 + round / 2);
        const int step = std::uniform_int_distribution<int>(0, itemCount)(random);
        const auto delay = std::uniform_int_distribution<int64_t>(0, length.count() / itemCount)(random);
        const pid_t pid = startBuild();
        if (killAt(pid, step, itemCount, Clock::duration(delay))) ++killed;

        for (const fs::path& file : filesBelow(output())) {
            if (!isTemporary(file)) expectWhole(file);
        }
        for (const fs::path& file : filesBelow(pictures())) {
            if (!isTemporary(file)) expectWhole(file);
        }
        const std::map<std::string, Recorded> recorded = recordedEntries();

        ASSERT_EQ(waitFor(startBuild()), 0) << readText(root_ / "stderr");
        // A killed build leaves the previous build manifest in place; every entry of it that still
        // matches (same settings, files untouched since) must be reused as it is.
        const auto final = lf::builder::BuildManifest::decode(
            readText(output() / lf::builder::BuildManifest::fileName));
        ASSERT_TRUE(final.has_value());
        for (const auto& [slug, entry] : recorded) {
            const auto now = final->items.find(slug);
            if (now == final->items.end() || now->second.sig != entry.sig) continue;
            for (const auto& [file, identity] : entry.files) {
                EXPECT_EQ(identityOf(file), identity) << file << " was made again although it was recorded as finished";
            }
            ++kept;
        }
        for (const fs::path& file : filesBelow(output())) {
            EXPECT_FALSE(isTemporary(file)) << file;
            expectWhole(file);
        }
        for (const fs::path& file : filesBelow(pictures())) EXPECT_FALSE(isTemporary(file)) << file;
        EXPECT_EQ(std::distance(fs::directory_iterator(output() / "images"), fs::directory_iterator()), itemCount);
    }
    // The moments are random, but across a dozen of them some kills land in the middle of a build,
    // and the rounds that keep the settings have recorded items to reuse.
    EXPECT_GE(killed, 6);
    EXPECT_GT(kept, 0u);
}

}  // namespace

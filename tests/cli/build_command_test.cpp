// lanternfold build, run as a person would run it: the index page on standard output, progress and
// messages on standard error, and the exit statuses scripts rely on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <vips/vips8>

#include "cli/support/noise_pictures.hpp"
#include "platform/json.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class BuildCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lanternfold-cli-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        root_ = pattern;
        fs::create_directories(pictures());
        ASSERT_EQ(VIPS_INIT("build_command_test"), 0);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path pictures() const { return root_ / "Trip"; }

    void makePictures(int count) { lf::test::makeNoisePictures(pictures(), count, 480, 320); }

    // Starts the program with standard output and standard error going to files in root_ (or
    // standard error to a pipe when errPipe is given).
    pid_t start(const std::vector<std::string>& args, int* errPipe = nullptr) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (root_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int pipeEnds[2] = {-1, -1};
        if (errPipe) {
            EXPECT_EQ(::pipe(pipeEnds), 0);
            posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
            posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
            posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (root_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        std::vector<std::string> all{LF_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, LF_BINARY, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        if (errPipe) {
            ::close(pipeEnds[1]);
            *errPipe = pipeEnds[0];
        }
        return pid;
    }

    static int waitFor(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    Outcome run(const std::vector<std::string>& args) {
        Outcome outcome;
        outcome.status = waitFor(start(args));
        outcome.out = readText(root_ / "stdout");
        outcome.err = readText(root_ / "stderr");
        return outcome;
    }

    fs::path root_;
};

TEST_F(BuildCommandTest, BuildsSavesTheProjectAndPrintsTheIndexPage) {
    makePictures(2);
    const Outcome outcome = run({"build", pictures().string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const fs::path index = root_ / "Trip gallery" / "index.html";
    EXPECT_EQ(outcome.out, index.string() + "\n");
    EXPECT_TRUE(fs::exists(index));
    EXPECT_TRUE(fs::exists(root_ / "Trip gallery" / "p" / "img-0002.html"));
    // Standard error is not a terminal here: one line per step, no carriage returns.
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos);
    EXPECT_EQ(outcome.err,
              "[  0%] Preparing IMG_0001.jpg\n"
              "[ 33%] Preparing IMG_0002.jpg\n"
              "[ 66%] Writing pages\n"
              "[100%] Done\n"
              "Gallery ready in “Trip gallery”.\n");
    auto project = lf::json::parse(readText(pictures() / "lanternfold.json"));
    ASSERT_TRUE(project);
    EXPECT_EQ((*project)["settings"]["title"], "Trip");
}

TEST_F(BuildCommandTest, OutputOptionIsSavedLikeAChosenGalleryFolder) {
    makePictures(1);
    const fs::path site = root_ / "site";
    Outcome outcome = run({"build", "--output", site.string(), pictures().string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, (site / "index.html").string() + "\n");
    auto project = lf::json::parse(readText(pictures() / "lanternfold.json"));
    ASSERT_TRUE(project);
    EXPECT_EQ((*project)["output"], site.string());

    // The next build without the option uses the saved folder.
    fs::remove_all(site);
    outcome = run({"build", pictures().string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, (site / "index.html").string() + "\n");
}

TEST_F(BuildCommandTest, AFailedSaveIsReportedLikeTheWindowsAlertAndTheBuildGoesOn) {
    makePictures(1);
    // A folder where the project file belongs cannot be replaced by the file.
    fs::create_directories(pictures() / "lanternfold.json");
    const Outcome outcome = run({"build", pictures().string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, (root_ / "Trip gallery" / "index.html").string() + "\n");
    EXPECT_TRUE(outcome.err.starts_with("Couldn’t save settings in the pictures folder: ")) << outcome.err;
    EXPECT_NE(outcome.err.find("Gallery ready in “Trip gallery”.\n"), std::string::npos) << outcome.err;
}

TEST_F(BuildCommandTest, FailuresAndUsageErrors) {
    Outcome outcome = run({"build", pictures().string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find("No pictures, movies or sounds were found in the folder.\n"), std::string::npos) << outcome.err;

    makePictures(1);
    outcome = run({"build", pictures().string(), "--output", pictures().string() + "/"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("The gallery folder must be different from the pictures folder.\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(pictures() / "images"));
    // The refused choice is not kept in the project file either.
    if (fs::exists(pictures() / "lanternfold.json")) {
        std::ifstream saved(pictures() / "lanternfold.json");
        const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.find("\"output\": \"" + pictures().string()), std::string::npos) << text;
    }

    outcome = run({"build", (root_ / "missing").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(fs::exists(root_ / "missing"));

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"build"}, {"build", "a", "b"}, {"build", pictures().string(), "--output"}, {"build", "--fast", pictures().string()},
             {"build", pictures().string(), "--jobs"}, {"build", pictures().string(), "--jobs", "0"},
             {"build", pictures().string(), "-j", "two"}, {"build", pictures().string(), "--jobs=-1"},
             {"build", pictures().string(), "--jobs", "2", "--jobs", "3"}}) {
        outcome = run(args);
        EXPECT_EQ(outcome.status, 2) << args.back();
        EXPECT_NE(outcome.err.find("Usage: lanternfold build FOLDER [--output DIR]"), std::string::npos);
    }
}

TEST_F(BuildCommandTest, JobsIsAcceptedInEachSpelling) {
    makePictures(3);
    for (const std::vector<std::string>& jobs : std::vector<std::vector<std::string>>{{"--jobs", "3"}, {"-j", "1"}, {"--jobs=2"}}) {
        std::vector<std::string> args{"build", pictures().string()};
        args.insert(args.end(), jobs.begin(), jobs.end());
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 0) << jobs.front() << "\n" << outcome.err;
        EXPECT_EQ(outcome.out, (root_ / "Trip gallery" / "index.html").string() + "\n");
    }
}

TEST_F(BuildCommandTest, InterruptStopsAtTheNextItem) {
    makePictures(40);
    int errPipe = -1;
    const pid_t pid = start({"build", pictures().string()}, &errPipe);
    // Wait until the build is under way, then press Ctrl-C.
    std::string err;
    char buffer[256];
    while (err.find("Preparing IMG_0002.jpg") == std::string::npos) {
        const ssize_t got = ::read(errPipe, buffer, sizeof buffer);
        ASSERT_GT(got, 0) << err;
        err.append(buffer, static_cast<size_t>(got));
    }
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    for (ssize_t got; (got = ::read(errPipe, buffer, sizeof buffer)) > 0;) err.append(buffer, static_cast<size_t>(got));
    ::close(errPipe);
    EXPECT_EQ(waitFor(pid), 130) << err;
    EXPECT_EQ(err.substr(err.size() - 9), "Stopped.\n") << err;
    EXPECT_EQ(err.find("Preparing IMG_0040.jpg"), std::string::npos);
    EXPECT_EQ(readText(root_ / "stdout"), "");
    EXPECT_FALSE(fs::exists(root_ / "Trip gallery" / "index.html"));
}

}  // namespace

#include "publish/ftp/curl_runner.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "publish/ftp/curl_config.hpp"
#include "publish/ftp/support/ftp_servers.hpp"
#include "publish/ftp/upload_error.hpp"

namespace lf::publish::ftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A stand-in for curl: a shell script with the given body.
fs::path fakeProgram(const fs::path& folder, const std::string& body) {
    const fs::path program = folder / "fake-curl";
    std::ofstream(program) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(program, fs::perms::owner_all);
    return program;
}

bool noChildrenLeft() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

std::string failureText(const fs::path& program, const std::string& config) {
    try {
        runConfiguredProgram(program, config);
    } catch (const UploadError& error) {
        EXPECT_EQ(error.reason(), UploadError::Reason::curl);
        return error.what();
    }
    ADD_FAILURE() << "the run did not fail";
    return {};
}

TEST(CurlRunner, FailureMessageFromStandardError) {
    const struct {
        int status;
        std::string standardError;
        std::string message;
    } cases[] = {
        {67, "curl: (67) Access denied: 530\n", "(67) Access denied: 530"},
        {7, "\n  curl: (7) Failed to connect to h port 21: curl: refused  \r\n", "(7) Failed to connect to h port 21: refused"},
        {3, "", "curl stopped with code 3."},
        {9, " \n\t", "curl stopped with code 9."},
        // Text that is not UTF-8 counts as empty.
        {6, "curl: (6) \xFF\xFE", "curl stopped with code 6."},
    };
    for (const auto& c : cases) EXPECT_EQ(curlFailureMessage(c.status, c.standardError), c.message);
    EXPECT_STREQ(UploadError::curl("(67) Access denied: 530").what(), "Upload failed: (67) Access denied: 530");
}

TEST(CurlRunner, ConfigurationGoesOnStandardInputWithExactlyTwoArguments) {
    test::TemporaryFolder folder;
    const fs::path received = folder.path() / "stdin", arguments = folder.path() / "arguments";
    const fs::path program = fakeProgram(folder.path(), "printf '%s\\n' \"$#\" \"$@\" > '" + arguments.string() +
                                                            "'\ncat > '" + received.string() + "'\necho noise");
    const std::string config = "user = \"ann:se\\\"cret\"\nsilent\n";
    runConfiguredProgram(program, config);
    EXPECT_EQ(readAll(received), config);
    EXPECT_EQ(readAll(arguments), "2\n--config\n-\n");
    EXPECT_TRUE(noChildrenLeft());
}

TEST(CurlRunner, FailuresCarryCurlsOwnWords) {
    test::TemporaryFolder folder;
    EXPECT_EQ(failureText(fakeProgram(folder.path(), "cat >/dev/null; echo 'curl: (6) Could not resolve host: nowhere' >&2; exit 6"), "x"),
              "Upload failed: (6) Could not resolve host: nowhere");
    EXPECT_EQ(failureText(fakeProgram(folder.path(), "cat >/dev/null; exit 3"), "x"),
              "Upload failed: curl stopped with code 3.");
    EXPECT_EQ(failureText(fakeProgram(folder.path(), "kill -9 $$"), "x"),
              "Upload failed: curl stopped with code 137.");
    EXPECT_TRUE(noChildrenLeft());
}

// Both pipes hold far more than a pipe buffer: a runner that wrote everything before reading (or
// the other way round) would wait forever.
TEST(CurlRunner, AChattyProgramCannotBlockTheRun) {
    test::TemporaryFolder folder;
    const std::string config(4 << 20, 'c');
    const std::string text = failureText(
        fakeProgram(folder.path(), "head -c 3000000 /dev/zero | tr '\\0' e >&2; wc -c >&2; exit 1"), config);
    EXPECT_EQ(text.size(), std::string("Upload failed: ").size() + 3000000 + std::string("4194304").size());
    EXPECT_TRUE(text.ends_with("e4194304")) << text.substr(text.size() - 20);
}

// A program that ends without reading its input must not take this program down with SIGPIPE.
TEST(CurlRunner, AProgramThatStopsReadingEndsTheRunWithItsMessage) {
    test::TemporaryFolder folder;
    EXPECT_EQ(failureText(fakeProgram(folder.path(), "echo 'curl: (2) bad option' >&2; exit 2"), std::string(1 << 20, 'c')),
              "Upload failed: (2) bad option");
}

TEST(CurlRunner, AMissingProgramGivesTheSystemsReason) {
    test::TemporaryFolder folder;
    try {
        runConfiguredProgram(folder.path() / "no-curl-here", "x");
        ADD_FAILURE() << "the run did not fail";
    } catch (const UploadError& error) {
        ADD_FAILURE() << "reported as an upload failure: " << error.what();
    } catch (const lf::Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Couldn’t start “" + (folder.path() / "no-curl-here").string() + "”: No such file or directory");
    }
    EXPECT_TRUE(noChildrenLeft());
}

// A host that ignores SIGCHLD has its children reaped by the kernel, so waiting for curl fails with
// ECHILD. The user reads a sentence of ours with the system's reason, not the C library's call name.
TEST(CurlRunner, ASystemFailureWhileCurlRunsIsOurOwnSentence) {
    test::TemporaryFolder folder;
    const fs::path program = fakeProgram(folder.path(), "cat >/dev/null; exit 0");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGCHLD, &ignore, &previous);
    std::string text = "(no error)";
    try {
        runConfiguredProgram(program, "x");
    } catch (const std::system_error& error) {
        text = std::string("a bare system error: ") + error.what();
    } catch (const lf::Error& error) {
        text = error.what();
    }
    ::sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(text, "Lost touch with “" + program.string() + "” while it ran: No child processes");
}

// When this program ends while a batch runs (here: the process that started curl is killed), curl
// is told to stop instead of running on. It also sits in a process group of its own, so a Ctrl-C
// at the terminal reaches only this program, which then stops at its next cancellation point.
TEST(CurlRunner, QuittingTheProgramStopsTheRunningCurl) {
    test::TemporaryFolder folder;
    const fs::path pidFile = folder.path() / "pid";
    const fs::path program =
        fakeProgram(folder.path(), "echo $$ > '" + pidFile.string() + ".tmp'; mv '" + pidFile.string() + ".tmp' '" +
                                       pidFile.string() + "'; exec sleep 600");
    // Orphans come back to this test process, so it can see how the fake curl ended.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t uploader = ::fork();
    ASSERT_GE(uploader, 0);
    if (uploader == 0) {
        try {
            runConfiguredProgram(program, "x");
        } catch (...) {
        }
        ::_exit(0);
    }

    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!fs::exists(pidFile) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(pidFile));
    const pid_t curl = std::stoi(readAll(pidFile));
    EXPECT_EQ(::getpgid(curl), curl);

    ::kill(uploader, SIGKILL);
    ASSERT_EQ(::waitpid(uploader, nullptr, 0), uploader);
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(curl, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    if (reaped != curl) {
        ::kill(curl, SIGKILL);
        ::waitpid(curl, nullptr, 0);
        FAIL() << "curl kept running after the program that started it was gone";
    }
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

// The real curl reads the escaped configuration back into the exact file name. Unescaped, this name
// would end its line and add an option of its own: a trace of the session, password included, written
// into the current folder.
TEST(CurlRunner, RealCurlReadsEscapedValuesBackUnchanged) {
    test::TemporaryFolder folder;
    const fs::path site = folder.path() / "site", target = folder.path() / "target";
    fs::create_directories(site);
    fs::create_directories(target);
    const std::string name = "evil\r\ntrace-ascii = leaked-trace.txt\n\tend";
    std::ofstream(site / "index.html") << "page";
    std::ofstream(site / name) << "picture";

    const fs::path previousFolder = fs::current_path();
    fs::current_path(folder.path());
    const std::string config = curlConfig("ann", "secret", false, "file://" + target.string() + "/",
                                          std::vector<UploadItem>{{site / "index.html", "index.html"}, {site / name, "evil"}});
    EXPECT_NO_THROW(runCurl(config));
    fs::current_path(previousFolder);
    EXPECT_EQ(test::filesBelow(target), (std::map<std::string, std::string>{{"evil", "picture"}, {"index.html", "page"}}));
    std::vector<std::string> besideTheSite;
    for (const auto& entry : fs::directory_iterator(folder.path())) besideTheSite.push_back(entry.path().filename());
    std::sort(besideTheSite.begin(), besideTheSite.end());
    EXPECT_EQ(besideTheSite, (std::vector<std::string>{"site", "target"}));
}

}  // namespace
}  // namespace lf::publish::ftp

#include "cli/support/publish_support.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "model/support/fixtures.hpp"
#include "platform/json.hpp"
#include "support/piped_child.hpp"

extern char** environ;

namespace lf::test {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string key = text.substr(0, text.find('='));
        if (!extra.contains(key)) entries.push_back(text);
    }
    for (const auto& [key, value] : extra) entries.push_back(key + "=" + value);
    return entries;
}

fs::path captureFolder() {
    static lf::testing::TemporaryFolder folder;
    return folder.path();
}

}  // namespace

PrivateKeyring::PrivateKeyring() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        hadAddress_ = true;
        previousAddress_ = address;
    }
    const std::string script = std::string(LF_TEST_SOURCE_DIR) + "/../scripts/with-test-keyring.sh";
    // The inner shell prints the private bus's address, then waits for its standard input to close;
    // then the script ends the keyring and dbus-run-session ends the bus.
    const lf::testing::PipedChild child = lf::testing::startPiped(
        {"dbus-run-session", "--", script, "sh", "-c", "echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat >/dev/null"});
    pid_ = child.pid;
    stdinFd_ = child.input;
    const std::string line = lf::testing::readLine(child.output);
    ::close(child.output);
    if (line.empty()) throw std::runtime_error("the private keyring did not start");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", line.c_str(), 1);
}

PrivateKeyring::~PrivateKeyring() {
    if (hadAddress_) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_.c_str(), 1);
    } else {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    if (stdinFd_ >= 0) ::close(stdinFd_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

void usePrivateKeyring() { static PrivateKeyring keyring; }

RunningProgram::RunningProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra) {
    static int counter = 0;
    const int number = counter++;
    outFile_ = captureFolder() / ("out-" + std::to_string(::getpid()) + "-" + std::to_string(number));
    errFile_ = captureFolder() / ("err-" + std::to_string(::getpid()) + "-" + std::to_string(number));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> arguments;
    for (const std::string& arg : argv) arguments.push_back(const_cast<char*>(arg.c_str()));
    arguments.push_back(nullptr);
    const std::vector<std::string> environment = environmentWith(extra);
    std::vector<char*> envp;
    for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, argv.at(0).c_str(), &actions, nullptr, arguments.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("could not start " + argv.at(0));
}

RunningProgram::~RunningProgram() {
    if (!waited_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void RunningProgram::signal(int number) const { ::kill(pid_, number); }

ProgramResult RunningProgram::wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    ProgramResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    result.out = lf::testing::readWhole(outFile_);
    result.err = lf::testing::readWhole(errFile_);
    return result;
}

ProgramResult runCaptured(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra) {
    return RunningProgram(argv, extra).wait();
}

ProgramResult runLanternfold(const std::vector<std::string>& args, const std::map<std::string, std::string>& extra) {
    std::vector<std::string> argv{LF_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCaptured(argv, extra);
}

fs::path makePicturesFolder(const fs::path& parent, const std::string& name, int count,
                            const std::string& settingsJson) {
    const fs::path folder = parent / name;
    fs::create_directories(folder);
    for (int index = 0; index < count; ++index) {
        // Each picture has its own brightness, so that no two give the same files, thumbnails included
        // (the upload sends equal content once).
        const fs::path picture = folder / (std::string(1, static_cast<char>('a' + index)) + ".jpg");
        lf::testing::runOrThrow({"vips", "gaussnoise", picture.string(), "48", "32", "--mean",
                                 std::to_string(40 + 30 * (index % 7)), "--sigma", "10"});
    }
    auto settings = json::parse(settingsJson).value_or(json::Json::object());
    if (!settings.contains("title")) settings["title"] = "Rome";
    const json::Json file{{"app", "Lanternfold"}, {"version", "1.0"}, {"settings", settings}};
    lf::testing::writeWhole(folder / "lanternfold.json", file.dump(2));
    return folder;
}

std::string savedSetting(const fs::path& folder, const std::string& key) {
    const auto file = json::parse(lf::testing::readWhole(folder / "lanternfold.json"));
    if (!file || !file->contains("settings") || !(*file)["settings"].contains(key)) return "<missing>";
    const json::Json& value = (*file)["settings"][key];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

std::map<std::string, std::string> visibleFiles(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path().filename().string().starts_with(".")) {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) files[fs::relative(it->path(), root).string()] = lf::testing::readWhole(it->path());
    }
    return files;
}

}  // namespace lf::test

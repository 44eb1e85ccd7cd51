#pragma once
// What the publish command tests share: a Secret Service of their own, running the lanternfold
// program with extra environment variables, and small pictures folders.
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lf::test {

// A fresh, unlocked gnome-keyring on a private session bus (scripts/with-test-keyring.sh under
// dbus-run-session), used by this test process and every program it starts from construction on.
// The tests of the publish command store the one Cloudflare token; with a keyring of their own they
// cannot disturb other tests that run at the same time, nor find what those stored.
class PrivateKeyring {
public:
    PrivateKeyring();
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    std::string previousAddress_;
    bool hadAddress_ = false;
};

// Starts the process's one private keyring on first use; it lives until the process ends (the
// keyring library keeps its first connection to the bus, so it must not change in between).
void usePrivateKeyring();

struct ProgramResult {
    int exitCode = -1;  // 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

// A running program whose standard output and error go to files.
class RunningProgram {
public:
    // Starts argv[0] (a path) with this process's environment plus extra (which wins); standard
    // input is /dev/null. The extra values reach the program through its environment only.
    RunningProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    void signal(int number) const;
    ProgramResult wait();

private:
    pid_t pid_ = -1;
    std::filesystem::path outFile_;
    std::filesystem::path errFile_;
    bool waited_ = false;
};

// Runs the program to its end.
ProgramResult runCaptured(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra = {});

// Runs the lanternfold program built with the tests.
ProgramResult runLanternfold(const std::vector<std::string>& args, const std::map<std::string, std::string>& extra = {});

// A pictures folder with count small JPEG pictures (a.jpg, b.jpg, …) and a project file holding
// the given settings (keys of lanternfold.json's "settings"; the title "Rome" unless given).
std::filesystem::path makePicturesFolder(const std::filesystem::path& parent, const std::string& name, int count,
                                         const std::string& settingsJson);

// One value of the "settings" object of the folder's lanternfold.json: the text of a string, the
// compact JSON of anything else, "<missing>" when the file or the key is missing.
std::string savedSetting(const std::filesystem::path& folder, const std::string& key);

// Regular files below root, hidden entries skipped, by relative path with their bytes.
std::map<std::string, std::string> visibleFiles(const std::filesystem::path& root);

}  // namespace lf::test

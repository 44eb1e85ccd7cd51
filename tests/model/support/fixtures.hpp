#pragma once
// Small helpers for tests that need real files: a private temporary folder, pictures made with
// vips and tagged with exiftool, fixed modification times, and running a program to capture its
// output. Header-only so the command-line tests can use them too.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/shell_quoted.hpp"
#include "support/temporary_folder.hpp"

namespace lf::testing {

namespace fs = std::filesystem;

inline std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline void writeWhole(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write test file " + path.string());
}

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with extra environment variables and captures its standard output and error.
inline CommandResult runCommand(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {}) {
    static TemporaryFolder captures;
    static int counter = 0;  // Tests in one program run one after another.
    const fs::path outFile = captures / ("out-" + std::to_string(counter) + ".txt");
    const fs::path errFile = captures / ("err-" + std::to_string(counter++) + ".txt");
    // Appended piece by piece: GCC 12 warns wrongly about "literal + string" here (-Wrestrict).
    std::string command = "env";
    for (const auto& [key, value] : env) {
        command += ' ';
        command += shellQuoted(key + "=" + value);
    }
    for (const std::string& arg : argv) {
        command += ' ';
        command += shellQuoted(arg);
    }
    command += " >";
    command += shellQuoted(outFile.string());
    command += " 2>";
    command += shellQuoted(errFile.string());
    command += " </dev/null";
    const int status = std::system(command.c_str());
    CommandResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readWhole(outFile);
    result.err = readWhole(errFile);
    return result;
}

inline void runOrThrow(const std::vector<std::string>& argv) {
    const CommandResult result = runCommand(argv);
    if (result.exitCode != 0) {
        std::string text;
        for (const auto& arg : argv) text += arg + " ";
        throw std::runtime_error("command failed: " + text + "\n" + result.err);
    }
}

// A small picture (JPEG, PNG, TIFF, WebP, HEIC… by the extension) made by vips. Files of one type
// are made once per test program and copied, since each vips start costs time.
inline void makePicture(const fs::path& destination, int width = 32, int height = 24) {
    static TemporaryFolder cache;
    const std::string ext = destination.extension().string();
    const fs::path source = cache / ("base-" + std::to_string(width) + "x" + std::to_string(height) + ext);
    if (!fs::exists(source)) {
        runOrThrow({"vips", "black", source.string(), std::to_string(width), std::to_string(height), "--bands", "3"});
    }
    fs::copy_file(source, destination, fs::copy_options::overwrite_existing);
}

// Tags files with exiftool in one run: for each file, its exiftool arguments (written as is, no
// print conversion, so a date is stored exactly as given). Values with NUL characters are written
// from a file with "-TAG<=file".
inline void exiftool(const std::vector<std::pair<fs::path, std::vector<std::string>>>& batch) {
    TemporaryFolder argsFolder;
    std::string args;
    bool first = true;
    for (const auto& [file, tags] : batch) {
        if (!first) args += "-execute\n";
        first = false;
        args += "-overwrite_original\n-n\n-q\n-q\n";
        for (const std::string& tag : tags) args += tag + "\n";
        args += file.string() + "\n";
    }
    const fs::path argFile = argsFolder / "args.txt";
    writeWhole(argFile, args);
    runOrThrow({"exiftool", "-@", argFile.string()});
}

// Sets a file's modification time to a fixed moment, so dates in listings are predictable.
inline void setModified(const fs::path& path, std::chrono::system_clock::time_point moment) {
    const auto fileTime = std::chrono::file_clock::from_sys(moment);
    fs::last_write_time(path, fileTime);
}

// Seconds since 1970 in UTC for a calendar moment given in UTC.
inline std::chrono::system_clock::time_point utc(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days days = year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
    return system_clock::time_point(days) + hours{hour} + minutes{minute} + seconds{second};
}

// Sets TZ for the duration of a test and restores the previous zone afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        ::setenv("TZ", zone.c_str(), 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) ::setenv("TZ", previous_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

}  // namespace lf::testing

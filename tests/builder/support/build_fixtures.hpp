#pragma once
// Helpers for the build tests: a private temporary folder, small files, and file snapshots that
// tell whether a build rewrote a file.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lf::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

void writeText(const fs::path& file, const std::string& text);
std::string readText(const fs::path& file);

// Sets a file's modification time, to the nanosecond.
void setModificationTime(const fs::path& file, int64_t seconds, long nanoseconds = 0);

// What a file looked like: its bytes and its modification time to the nanosecond.
struct FileSnapshot {
    std::string bytes;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FileSnapshot&) const = default;
};

// Every regular file below folder, by path relative to it.
std::map<std::string, FileSnapshot> snapshot(const fs::path& folder);

// Relative paths of the regular files below folder, sorted.
std::vector<std::string> filesBelow(const fs::path& folder);

}  // namespace lf::testing

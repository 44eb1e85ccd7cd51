#pragma once
// Helpers for the build tests: a private temporary folder, small files, and file snapshots that
// tell whether a build rewrote a file.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temporary_folder.hpp"

namespace lf::testing {

namespace fs = std::filesystem;

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

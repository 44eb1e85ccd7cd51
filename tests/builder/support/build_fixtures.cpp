#include "builder/support/build_fixtures.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace lf::testing {

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void setModificationTime(const fs::path& file, int64_t seconds, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = nanoseconds;
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) throw std::runtime_error("utimensat failed");
}

std::map<std::string, FileSnapshot> snapshot(const fs::path& folder) {
    std::map<std::string, FileSnapshot> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        struct stat info {};
        ::stat(entry.path().c_str(), &info);
        files[fs::relative(entry.path(), folder).string()] =
            FileSnapshot{readText(entry.path()), int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
    }
    return files;
}

std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() || entry.is_symlink()) files.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace lf::testing

#pragma once
// A private folder for one test's files: a fresh name under the system's temporary folder (so two
// test runs on one machine never share it), removed with everything in it when the object goes.
// Header-only, so every test folder can use it without linking anything.
#include <stdlib.h>

#include <cerrno>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace lf::testing {

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lf-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
        }
        path_ = pattern;
    }

    ~TemporaryFolder() {
        namespace fs = std::filesystem;
        std::error_code code;
        // Give back permissions a test took away, so that the folder can be removed.
        for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, code);
             !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
            if (it->is_directory(code) && !it->is_symlink(code)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, code);
            }
        }
        fs::remove_all(path_, code);
    }

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// One folder for the whole test program, made on first use and removed when the program ends; for
// helpers that hand out paths rather than folder objects. CTest runs each test in a program of its
// own, so a test gets it to itself.
inline const std::filesystem::path& programFolder() {
    static const TemporaryFolder folder;
    return folder.path();
}

}  // namespace lf::testing

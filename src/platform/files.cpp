#include "platform/files.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/file_descriptor.hpp"

namespace lf::platform {

namespace {

std::string sentence(const std::string& action, const fs::path& path, const std::string& reason) {
    return action + " “" + path.string() + "”: " + reason;
}

// A name no other writer in the folder uses at the same time: process id and a random suffix.
fs::path temporaryBeside(const fs::path& destination) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::ostringstream name;
    name << "." << destination.filename().string() << ".lf-" << ::getpid() << "-" << std::hex
         << generator() << ".tmp";
    return destination.parent_path() / name.str();
}

}  // namespace

FileError::FileError(const std::string& action, const fs::path& path, const std::error_code& code)
    : FileError(action, path, code.message()) {}

FileError::FileError(const std::string& action, const fs::path& path, const std::string& reason)
    : Error(sentence(action, path, reason)), path_(path), reason_(reason) {}

void copyFileAtomically(const fs::path& from, const fs::path& destination) {
    const fs::path temporary = temporaryBeside(destination);
    std::error_code code;
    fs::copy_file(from, temporary, code);
    if (code) {
        ::unlink(temporary.c_str());
        throw FileError("Couldn’t copy", from, code);
    }
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw FileError("Couldn’t copy", from, std::error_code(error, std::generic_category()));
    }
}

bool isLeftoverTemporary(const std::string& name) {
    // ".<name>.lf-<pid>-<hex>.tmp", as temporaryBeside makes them.
    const std::string suffix = ".tmp";
    if (name.size() < 2 || name.front() != '.' || name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const size_t mark = name.rfind(".lf-");
    if (mark == std::string::npos || mark == 0) return false;
    const std::string rest = name.substr(mark + 4, name.size() - suffix.size() - mark - 4);
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) return false;
    const std::string pidText = rest.substr(0, dash);
    const std::string hex = rest.substr(dash + 1);
    if (pidText.size() > 9 || pidText.find_first_not_of("0123456789") != std::string::npos) return false;
    if (hex.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
    const pid_t pid = static_cast<pid_t>(std::stol(pidText));
    if (pid == ::getpid()) return false;
    // Only a process that is gone for certain: a process of another user (EPERM) still runs.
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

void writeFileAtomically(const fs::path& destination, std::string_view bytes, Durability durability) {
    const fs::path temporary = temporaryBeside(destination);
    FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!file.isOpen()) throw FileError("Couldn’t write", destination, std::error_code(errno, std::generic_category()));

    auto fail = [&](int error) {
        file.reset();
        ::unlink(temporary.c_str());
        throw FileError("Couldn’t write", destination, std::error_code(error, std::generic_category()));
    };
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.get(), data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (durability == Durability::flushToDisk && ::fsync(file.get()) != 0) fail(errno);
    // Some file systems report a failed write only when the file is closed.
    if (file.close() != 0) fail(errno);
    if (::rename(temporary.c_str(), destination.c_str()) != 0) fail(errno);
    if (durability == Durability::flushToDisk) {
        // The rename itself lives in the folder; flush the folder so the new name survives too.
        const fs::path folder = destination.has_parent_path() ? destination.parent_path() : fs::path(".");
        const FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.isOpen()) ::fsync(directory.get());
    }
}

std::optional<std::string> readFileIfPossible(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

std::string readFile(const fs::path& path) {
    std::error_code code;
    if (!fs::exists(path, code)) {
        throw FileError("Couldn’t read", path, code ? code : std::make_error_code(std::errc::no_such_file_or_directory));
    }
    auto bytes = readFileIfPossible(path);
    if (!bytes) throw FileError("Couldn’t read", path, std::error_code(errno ? errno : EIO, std::generic_category()));
    return *bytes;
}

fs::path expandTilde(const std::string& path) {
    if (path == "~" || path.starts_with("~/")) {
        const char* home = std::getenv("HOME");
        const std::string base = home ? home : "";
        return fs::path(base + path.substr(1));
    }
    return fs::path(path);
}

fs::path standardized(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    std::string text = normal.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return fs::path(text);
}

}  // namespace lf::platform

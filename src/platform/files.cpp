#include "platform/files.hpp"

#include <fcntl.h>
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

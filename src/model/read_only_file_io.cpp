#include "model/read_only_file_io.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lf::model {

ReadOnlyFileIo::ReadOnlyFileIo(const std::filesystem::path& file) : path_(file.string()) {
    descriptor_ = platform::FileDescriptor(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!descriptor_.isOpen()) return;
    struct stat info {};
    if (::fstat(descriptor_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        descriptor_.reset();
        return;
    }
    size_ = info.st_size;
}

ReadOnlyFileIo::~ReadOnlyFileIo() { munmap(); }

int ReadOnlyFileIo::open() {
    if (!descriptor_.isOpen()) return 1;
    position_ = 0;
    eof_ = false;
    error_ = 0;
    return 0;
}

int ReadOnlyFileIo::close() { return munmap(); }

long ReadOnlyFileIo::write(const Exiv2::byte*, long) { return 0; }

long ReadOnlyFileIo::write(Exiv2::BasicIo&) { return 0; }

int ReadOnlyFileIo::putb(Exiv2::byte) { return EOF; }

void ReadOnlyFileIo::transfer(Exiv2::BasicIo&) {
    throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "ReadOnlyFileIo::transfer");
}

Exiv2::DataBuf ReadOnlyFileIo::read(long count) {
    if (count <= 0) return Exiv2::DataBuf();
    // Never more than the rest of the file, so a damaged length field cannot ask for gigabytes.
    const off_t rest = size_ > position_ ? size_ - position_ : 0;
    Exiv2::DataBuf buffer(static_cast<long>(std::min<off_t>(count, std::max<off_t>(rest, 1))));
    const long got = read(buffer.pData_, buffer.size_);
    if (got < 0) throw Exiv2::Error(Exiv2::kerInputDataReadFailed);
    buffer.size_ = got;
    return buffer;
}

long ReadOnlyFileIo::read(Exiv2::byte* buffer, long count) {
    if (!descriptor_.isOpen() || count <= 0) return 0;
    long total = 0;
    while (total < count) {
        const ssize_t got = ::pread(descriptor_.get(), buffer + total, static_cast<size_t>(count - total), position_ + total);
        if (got < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        if (got == 0) {
            eof_ = true;
            break;
        }
        total += static_cast<long>(got);
    }
    position_ += total;
    return total;
}

int ReadOnlyFileIo::getb() {
    Exiv2::byte value = 0;
    return read(&value, 1) == 1 ? value : EOF;
}

int ReadOnlyFileIo::seek(long offset, Position from) {
    const off_t base = from == beg ? 0 : from == cur ? position_ : size_;
    const off_t target = base + offset;
    if (target < 0) return 1;
    position_ = target;
    eof_ = false;
    return 0;
}

Exiv2::byte* ReadOnlyFileIo::mmap(bool writeable) {
    if (writeable) throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "ReadOnlyFileIo::mmap for writing");
    if (mapped_ == nullptr && descriptor_.isOpen() && size_ > 0) {
        void* mapped = ::mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE, descriptor_.get(), 0);
        if (mapped == MAP_FAILED) throw Exiv2::Error(Exiv2::kerCallFailed, path_, std::strerror(errno), "mmap");
        mapped_ = mapped;
    }
    return static_cast<Exiv2::byte*>(mapped_);
}

int ReadOnlyFileIo::munmap() {
    if (mapped_ != nullptr) ::munmap(mapped_, static_cast<size_t>(size_));
    mapped_ = nullptr;
    return 0;
}

long ReadOnlyFileIo::tell() const { return static_cast<long>(position_); }

size_t ReadOnlyFileIo::size() const { return static_cast<size_t>(size_); }

bool ReadOnlyFileIo::isopen() const { return descriptor_.isOpen(); }

int ReadOnlyFileIo::error() const { return error_; }

bool ReadOnlyFileIo::eof() const { return eof_; }

std::string ReadOnlyFileIo::path() const { return path_; }

}  // namespace lf::model

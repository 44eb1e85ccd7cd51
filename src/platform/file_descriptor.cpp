#include "platform/file_descriptor.hpp"

#include <unistd.h>

namespace lf::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

void FileDescriptor::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int FileDescriptor::close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
}

int FileDescriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Pipe Pipe::make(int flags) {
    int fds[2];
    if (::pipe2(fds, flags) != 0) return {};
    return {FileDescriptor(fds[0]), FileDescriptor(fds[1])};
}

}  // namespace lf::platform

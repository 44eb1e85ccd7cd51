#pragma once
// A POSIX file descriptor owned by one object and closed when that object goes away, so that no
// early return or exception can leak it.
namespace lf::platform {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

    // Closes the descriptor now, ignoring the outcome (for closes whose failure changes nothing).
    void reset();

    // Closes the descriptor now and returns close's result (0, or -1 with errno set), for writers
    // that must know whether their data reached the file.
    int close();

    // Gives up ownership without closing.
    int release();

private:
    int fd_ = -1;
};

// Both ends of a pipe made with pipe2(flags); both closed (not open) when the system refuses one,
// with errno set.
struct Pipe {
    FileDescriptor read;
    FileDescriptor write;

    static Pipe make(int flags);
};

}  // namespace lf::platform

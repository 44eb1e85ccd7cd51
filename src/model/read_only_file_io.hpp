#pragma once
// Exiv2's view of one picture file through a single open descriptor. Exiv2's own FileIo opens the
// file again at every step (type detection, then the metadata), three times a picture; this one
// opens it once and only ever reads.
#include <sys/types.h>

#include <filesystem>
#include <string>

// Exiv2 0.27 still declares its handles as std::auto_ptr, which the standard library keeps as a
// deprecated type; the warnings say nothing about this program.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include "platform/file_descriptor.hpp"

namespace lf::model {

class ReadOnlyFileIo : public Exiv2::BasicIo {
public:
    // Opens the file for reading; isopen() is false when it cannot be opened or is not a file.
    explicit ReadOnlyFileIo(const std::filesystem::path& file);
    ~ReadOnlyFileIo() override;
    ReadOnlyFileIo(const ReadOnlyFileIo&) = delete;
    ReadOnlyFileIo& operator=(const ReadOnlyFileIo&) = delete;

    // Rewinds; the file stays open from construction to destruction, so nothing is opened again.
    int open() override;
    // Drops a mapping; the descriptor stays for the next open().
    int close() override;
    // Writing is refused: metadata is only ever read.
    long write(const Exiv2::byte* data, long count) override;
    long write(Exiv2::BasicIo& source) override;
    int putb(Exiv2::byte data) override;
    void transfer(Exiv2::BasicIo& source) override;

    Exiv2::DataBuf read(long count) override;
    long read(Exiv2::byte* buffer, long count) override;
    int getb() override;
    int seek(long offset, Position from) override;
    // The whole file, mapped read-only (TIFF-based formats are parsed in place).
    Exiv2::byte* mmap(bool writeable = false) override;
    int munmap() override;
    long tell() const override;
    size_t size() const override;
    bool isopen() const override;
    int error() const override;
    bool eof() const override;
    std::string path() const override;

private:
    std::string path_;
    platform::FileDescriptor descriptor_;
    off_t size_ = 0;
    off_t position_ = 0;
    bool eof_ = false;
    int error_ = 0;
    void* mapped_ = nullptr;
};

}  // namespace lf::model

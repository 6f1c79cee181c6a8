// Low-level reading shared by the signature and the byte comparisons: read-only opens that leave
// access times alone, positional reads that retry interrupted calls, and an owning descriptor.
#pragma once

#include <cstdint>
#include <string>

namespace quillmere::FileReading {

/// How a file will be read, told to the kernel as a hint.
enum class Access { sequential, random };

/// Opens a regular file read-only (O_NOATIME where permitted); -1 on failure, and for a link, a
/// pipe, a device or a folder, none of which is ever read. Files expected to be larger than
/// 256 KiB (or of unknown size, -1) get the access hint and are kept from crowding the page cache;
/// smaller ones are read in a call or two and need no further system calls.
int open(const std::string& path, Access access, std::int64_t expectedSize = -1);

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_;
};

/// Reads exactly n bytes at offset; false on end of file before n bytes or on any error.
bool readExactly(int fd, char* buffer, std::int64_t n, std::int64_t offset);

/// Fills the buffer from offset until it is full or the file ends: the count, or -1 on error.
std::int64_t fill(int fd, char* buffer, std::int64_t capacity, std::int64_t offset);

} // namespace quillmere::FileReading

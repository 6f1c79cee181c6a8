// Low-level reading shared by the signature and the byte comparisons: read-only opens that leave
// access times alone, positional reads that retry interrupted calls, an owning descriptor, and
// stretches of a file compared in place in the page cache instead of copied out of it.
#pragma once

#include <cstdint>
#include <optional>
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

/// A read-only mapping of up to `length` bytes of a file from `offset`, cut at the file's end as it
/// is when mapped. Not valid when the file cannot be mapped; it is then read instead. Its bytes may
/// vanish while mapped (the file cut short by another program, or a failing disk): touch them
/// only through equalBytes() and hashBytes().
class MappedStretch {
  public:
    MappedStretch(int fd, std::int64_t offset, std::int64_t length);
    ~MappedStretch();
    MappedStretch(MappedStretch&& other) noexcept;
    MappedStretch& operator=(MappedStretch&&) = delete;
    MappedStretch(const MappedStretch&) = delete;
    MappedStretch& operator=(const MappedStretch&) = delete;
    bool valid() const { return count_ >= 0; }
    const char* bytes() const { return bytes_; }
    std::int64_t count() const { return count_; }

  private:
    void* base_ = nullptr;
    std::size_t mapped_ = 0;
    const char* bytes_ = nullptr;
    std::int64_t count_ = -1;
};

/// Whether n bytes at a and at b are equal, or nothing when a mapped page under them is gone.
std::optional<bool> equalBytes(const char* a, const char* b, std::int64_t n);

/// A hash of n bytes, or nothing when a mapped page under them is gone.
std::optional<std::size_t> hashBytes(const char* bytes, std::int64_t n);

} // namespace quillmere::FileReading

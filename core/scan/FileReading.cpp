#include "scan/FileReading.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::FileReading {

int open(const std::string& path, Access access, std::int64_t expectedSize) {
    // Candidates are regular files, but the path may have been replaced since the walk: a link
    // must not be read through (O_NOFOLLOW), and opening a named pipe must not wait for a writer
    // that never comes (O_NONBLOCK, which changes nothing for a regular file).
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    // O_NOATIME keeps a scan from leaving traces on the files it reads; the kernel allows it only
    // to the file's owner (or root), so fall back to a plain open.
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NOATIME);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EPERM) {
        do {
            fd = ::open(path.c_str(), flags);
        } while (fd < 0 && errno == EINTR);
    }
    struct stat status;
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        return -1;
    }
    constexpr std::int64_t smallFile = 262144;
    if (fd >= 0 && (expectedSize < 0 || expectedSize > smallFile)) {
        ::posix_fadvise(fd, 0, 0,
                        access == Access::random ? POSIX_FADV_RANDOM : POSIX_FADV_SEQUENTIAL);
        // The scan reads each byte once; don't let it push the user's working set out of the cache.
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_NOREUSE);
    }
    return fd;
}

Descriptor::~Descriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool readExactly(int fd, char* buffer, std::int64_t n, std::int64_t offset) {
    std::int64_t got = 0;
    while (got < n) {
        const ssize_t r =
            ::pread(fd, buffer + got, static_cast<std::size_t>(n - got), offset + got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return false;
        got += r;
    }
    return true;
}

std::int64_t fill(int fd, char* buffer, std::int64_t capacity, std::int64_t offset) {
    std::int64_t filled = 0;
    while (filled < capacity) {
        const ssize_t r = ::pread(fd, buffer + filled, static_cast<std::size_t>(capacity - filled),
                                  offset + filled);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        filled += r;
    }
    return filled;
}

} // namespace quillmere::FileReading

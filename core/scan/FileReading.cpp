#include "scan/FileReading.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmere::FileReading {

namespace {

// Touching a mapped page whose bytes are gone raises SIGBUS, which would end the process. While a
// worker compares mapped bytes, the handler jumps back to where that comparison began; any other
// SIGBUS goes on to whatever the process had before.
thread_local sigjmp_buf* comparisonStart = nullptr;
struct sigaction previousBusError;

void onBusError(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* start = comparisonStart)
        siglongjmp(*start, 1);
    if (previousBusError.sa_flags & SA_SIGINFO) {
        previousBusError.sa_sigaction(signal, info, context);
    } else if (previousBusError.sa_handler != SIG_DFL && previousBusError.sa_handler != SIG_IGN) {
        previousBusError.sa_handler(signal);
    } else {
        ::sigaction(SIGBUS, &previousBusError, nullptr);
        ::raise(signal);
    }
}

bool busErrorsCaught() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &previousBusError) == 0;
    }();
    return installed;
}

// Runs body(context), which must own nothing that needs destroying: a fault leaves it midway.
bool withoutBusError(void (*body)(void*), void* context) {
    // The signal mask is not saved here, which would cost a system call per comparison; the jump
    // leaves SIGBUS blocked, as it is while its handler runs, and only then is it unblocked.
    sigjmp_buf start;
    if (sigsetjmp(start, 0) != 0) {
        comparisonStart = nullptr;
        sigset_t busError;
        sigemptyset(&busError);
        sigaddset(&busError, SIGBUS);
        ::pthread_sigmask(SIG_UNBLOCK, &busError, nullptr);
        return false;
    }
    comparisonStart = &start;
    body(context);
    comparisonStart = nullptr;
    return true;
}

} // namespace

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

MappedStretch::MappedStretch(int fd, std::int64_t offset, std::int64_t length) {
    struct stat status;
    if (!busErrorsCaught() || ::fstat(fd, &status) != 0)
        return;
    const std::int64_t count = std::clamp<std::int64_t>(status.st_size - offset, 0, length);
    if (count == 0) {
        static const char nothing = 0;
        bytes_ = &nothing; // never null, even for no bytes: memcmp does not take null
        count_ = 0;
        return;
    }
    static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t start = offset / page * page;
    mapped_ = static_cast<std::size_t>(offset - start + count);
    // Populated at once: one call maps every page instead of a fault per few pages.
    void* base = ::mmap(nullptr, mapped_, PROT_READ, MAP_SHARED | MAP_POPULATE, fd,
                        static_cast<off_t>(start));
    if (base == MAP_FAILED)
        return;
    base_ = base;
    bytes_ = static_cast<const char*>(base) + (offset - start);
    count_ = count;
}

MappedStretch::~MappedStretch() {
    if (base_)
        ::munmap(base_, mapped_);
}

MappedStretch::MappedStretch(MappedStretch&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)), mapped_(other.mapped_), bytes_(other.bytes_),
      count_(other.count_) {}

std::optional<bool> equalBytes(const char* a, const char* b, std::int64_t n) {
    struct Job {
        const char *a, *b;
        std::size_t n;
        bool equal;
    } job{a, b, static_cast<std::size_t>(n), false};
    auto body = [](void* context) {
        auto& job = *static_cast<Job*>(context);
        job.equal = std::memcmp(job.a, job.b, job.n) == 0;
    };
    if (!withoutBusError(body, &job))
        return std::nullopt;
    return job.equal;
}

std::optional<std::size_t> hashBytes(const char* bytes, std::int64_t n) {
    struct Job {
        std::string_view bytes;
        std::size_t hash;
    } job{{bytes, static_cast<std::size_t>(n)}, 0};
    auto body = [](void* context) {
        auto& job = *static_cast<Job*>(context);
        job.hash = std::hash<std::string_view>()(job.bytes);
    };
    if (!withoutBusError(body, &job))
        return std::nullopt;
    return job.hash;
}

} // namespace quillmere::FileReading

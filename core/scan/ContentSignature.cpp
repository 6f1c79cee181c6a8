// SHA-256 signatures of head, tail and size, and the byte-for-byte comparison.
#include "scan/ContentSignature.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <string>
#include <unistd.h>

namespace quillmere::ContentSignature {

namespace {

// Opens read-only without updating the access time where the kernel allows it (the file's
// owner, or root), so that a scan leaves no trace on the files it reads.
int openForReading(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EPERM) {
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Reads exactly n bytes at offset; false on end of file before n bytes or on any error.
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

// Fills the buffer from offset until it is full or the file ends; the count, or -1 on error.
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

struct DigestDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

struct AlignedDeleter {
    void operator()(char* p) const { std::free(p); }
};

std::string hex(const unsigned char* bytes, unsigned int length) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(length * 2, '0');
    for (unsigned int i = 0; i < length; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
    return text;
}

// The comparison proper: both files read in 1 MiB blocks to the end, every byte equal.
bool compareContents(const std::string& a, const std::string& b) {
    const Descriptor first(openForReading(a));
    if (!first.valid())
        return false;
    const Descriptor second(openForReading(b));
    if (!second.valid())
        return false;
    for (int fd : {first.get(), second.get()}) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_NOREUSE);
    }

    const auto size = static_cast<std::size_t>(compareBlockSize);
    std::unique_ptr<char, AlignedDeleter> left(static_cast<char*>(std::aligned_alloc(64, size)));
    std::unique_ptr<char, AlignedDeleter> right(static_cast<char*>(std::aligned_alloc(64, size)));
    if (!left || !right)
        return false;

    std::int64_t offset = 0;
    for (;;) {
        const std::int64_t leftCount = fill(first.get(), left.get(), compareBlockSize, offset);
        const std::int64_t rightCount = fill(second.get(), right.get(), compareBlockSize, offset);
        if (leftCount < 0 || rightCount < 0 || leftCount != rightCount)
            return false;
        if (leftCount == 0)
            return true;
        if (std::memcmp(left.get(), right.get(), static_cast<std::size_t>(leftCount)) != 0)
            return false;
        offset += leftCount;
    }
}

} // namespace

std::optional<std::string> compute(const std::string& path, std::int64_t size) {
    const Descriptor file(openForReading(path));
    if (!file.valid())
        return std::nullopt;

    std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;

    thread_local std::unique_ptr<char[]> buffer(new char[blockSize]);
    auto feed = [&](std::int64_t offset, std::int64_t length) {
        return readExactly(file.get(), buffer.get(), length, offset) &&
               EVP_DigestUpdate(context.get(), buffer.get(), static_cast<std::size_t>(length)) == 1;
    };

    if (size > largeFileThreshold) {
        if (!feed(0, blockSize) || !feed(size - blockSize, blockSize))
            return std::nullopt;
    } else {
        for (std::int64_t offset = 0; offset < size;) {
            const std::int64_t length = std::min(size - offset, blockSize);
            if (!feed(offset, length))
                return std::nullopt;
            offset += length;
        }
    }

    const std::string sizeText = std::to_string(size);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_DigestUpdate(context.get(), sizeText.data(), sizeText.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1)
        return std::nullopt;
    return hex(digest, digestLength);
}

bool verifyIdentical(const std::string& a, const std::string& b) {
    return a == b || compareContents(a, b);
}

} // namespace quillmere::ContentSignature

// SHA-256 signatures of head, tail and size, and the byte-for-byte comparison.
#include "scan/ContentSignature.h"

#include "scan/FileReading.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>

namespace quillmere::ContentSignature {

namespace {

using FileReading::Descriptor;

struct DigestDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

struct AlignedDeleter {
    void operator()(char* p) const { std::free(p); }
};

std::string hex(const Digest& bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
    return text;
}

// The comparison proper: both files read in 1 MiB blocks to the end, every byte equal.
bool compareContents(const std::string& a, const std::string& b) {
    const Descriptor first(FileReading::open(a, FileReading::Access::sequential));
    if (!first.valid())
        return false;
    const Descriptor second(FileReading::open(b, FileReading::Access::sequential));
    if (!second.valid())
        return false;

    const auto size = static_cast<std::size_t>(compareBlockSize);
    std::unique_ptr<char, AlignedDeleter> left(static_cast<char*>(std::aligned_alloc(64, size)));
    std::unique_ptr<char, AlignedDeleter> right(static_cast<char*>(std::aligned_alloc(64, size)));
    if (!left || !right)
        return false;

    std::int64_t offset = 0;
    for (;;) {
        const std::int64_t leftCount =
            FileReading::fill(first.get(), left.get(), compareBlockSize, offset);
        const std::int64_t rightCount =
            FileReading::fill(second.get(), right.get(), compareBlockSize, offset);
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

std::optional<Digest> digest(const std::string& path, std::int64_t size) {
    // A large file is read at two places only: no read-ahead into the middle.
    const Descriptor file(FileReading::open(
        path,
        size > largeFileThreshold ? FileReading::Access::random : FileReading::Access::sequential,
        size));
    if (!file.valid())
        return std::nullopt;

    // One context and buffer per thread: hashing runs on many workers and never allocates per file.
    thread_local const std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    thread_local const std::unique_ptr<char[]> buffer(new char[blockSize]);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    auto feed = [&](std::int64_t offset, std::int64_t length) {
        return FileReading::readExactly(file.get(), buffer.get(), length, offset) &&
               EVP_DigestUpdate(context.get(), buffer.get(), static_cast<std::size_t>(length)) == 1;
    };

    if (size > largeFileThreshold) {
        // Queue the tail while the head is read: a cold disk then serves both at once.
        ::posix_fadvise(file.get(), size - blockSize, blockSize, POSIX_FADV_WILLNEED);
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
    Digest result;
    unsigned int length = 0;
    if (EVP_DigestUpdate(context.get(), sizeText.data(), sizeText.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), result.data(), &length) != 1 || length != result.size())
        return std::nullopt;
    return result;
}

std::optional<std::string> compute(const std::string& path, std::int64_t size) {
    const auto bytes = digest(path, size);
    return bytes ? std::optional(hex(*bytes)) : std::nullopt;
}

bool verifyIdentical(const std::string& a, const std::string& b) {
    // Same path text: one file. Compared as bytes, since on Linux two names that differ only in
    // Unicode normalisation are two different files.
    return a == b || compareContents(a, b);
}

} // namespace quillmere::ContentSignature

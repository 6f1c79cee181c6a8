// The cheap content signature that makes files candidates, and the byte-for-byte comparison that
// alone decides that two files are identical.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quillmere::ContentSignature {

/// Size of the head and of the tail hashed for large files, and the largest read while hashing.
inline constexpr std::int64_t blockSize = 131072;
/// Files larger than this are hashed as head plus tail.
inline constexpr std::int64_t largeFileThreshold = 2 * blockSize;
/// Bytes read per side and step of a byte comparison.
inline constexpr std::int64_t compareBlockSize = 1048576;

using Digest = std::array<std::uint8_t, 32>;

/// The signature as a binary digest; compute() is its hex text.
std::optional<Digest> digest(const std::string& path, std::int64_t size);

/// SHA-256 (FIPS 180-4) over the whole file (up to 256 KiB) or its first and last 128 KiB,
/// followed by the decimal text of `size`, as 64 lower-case hex digits. Nothing when the file
/// cannot be opened or is shorter than `size`.
std::optional<std::string> compute(const std::string& path, std::int64_t size);

/// True only when both files were read to the end and every byte matched, or when the two
/// paths are the same text. Every problem reads as a mismatch.
bool verifyIdentical(const std::string& a, const std::string& b);

} // namespace quillmere::ContentSignature

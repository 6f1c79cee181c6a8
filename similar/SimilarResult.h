// The records that leave a similar-photo scan: groups of photos that show the same picture, the
// photos that could not be read, and the scan's counts.
#pragma once

#include "FingerprintCache.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmere::similar {

struct SimilarPhoto {
    std::string path;
    std::int64_t size = 0;
    /// Pixel size as shown, orientation applied.
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// The file as the scan found it, so that whoever acts on the photo later can tell whether
    /// it changed since.
    FileStamp stamp = {};

    std::int64_t pixels() const { return std::int64_t(width) * height; }
    /// The same photo at the same size; when the scan saw the file plays no part, so that two
    /// scans of one library give equal groups even after a file was touched.
    friend bool operator==(const SimilarPhoto& a, const SimilarPhoto& b) {
        return a.path == b.path && a.size == b.size && a.width == b.width && a.height == b.height;
    }
};

struct SimilarGroup {
    /// The suggested keeper: most pixels, then the larger file, then the name rules.
    SimilarPhoto keep;
    /// The others, each within the threshold of the keeper, in ascending text order of path.
    std::vector<SimilarPhoto> similar;

    std::int64_t similarBytes() const;
    friend bool operator==(const SimilarGroup&, const SimilarGroup&) = default;
};

/// A photo passed over, with the reason in words.
struct SkippedPhoto {
    std::string path;
    std::string reason;
    friend bool operator==(const SkippedPhoto&, const SkippedPhoto&) = default;
};

struct SimilarResult {
    std::vector<std::string> roots;
    std::vector<std::string> includes;
    std::chrono::system_clock::time_point startedAt;
    /// Seconds from the start of the scan to the end of grouping.
    double duration = 0;
    /// Photos found by enumeration.
    std::int64_t photosScanned = 0;
    /// Photos whose fingerprint came from the cache rather than from decoding.
    std::int64_t fromCache = 0;
    /// Files left out because another file has the same bytes (the identical scan lists those).
    std::int64_t identicalCopies = 0;
    /// Why the fingerprint cache could not be written, or empty. The scan's result stands.
    std::string cacheProblem;
    /// Most bytes in similar copies first.
    std::vector<SimilarGroup> groups;
    /// In ascending text order of path.
    std::vector<SkippedPhoto> skipped;
};

} // namespace quillmere::similar

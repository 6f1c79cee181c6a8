// The records that leave the scan engine: groups of byte-identical files and the scan's counts.
#pragma once

#include "scan/MediaKind.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

struct DuplicateGroup {
    /// Kind of the group's first file as enumerated.
    MediaKind kind = MediaKind::photo;
    /// Bytes of each file of the group.
    std::int64_t size = 0;
    /// The file that stays.
    std::string keep;
    /// The redundant files, in ascending text order.
    std::vector<std::string> remove;

    std::int64_t reclaimableBytes() const {
        return size * static_cast<std::int64_t>(remove.size());
    }
    std::int64_t count() const { return static_cast<std::int64_t>(remove.size()) + 1; }
    /// keep followed by remove.
    std::vector<std::string> allPaths() const;

    friend bool operator==(const DuplicateGroup&, const DuplicateGroup&) = default;
};

struct ScanResult {
    std::vector<std::string> roots;
    std::vector<std::string> includes;
    std::chrono::system_clock::time_point startedAt;
    /// Seconds from the start of the scan to the end of grouping.
    double duration = 0;
    /// Media files found by enumeration, as the walk saw them.
    std::int64_t filesScanned = 0;
    /// Size-collision candidates whose signature could not be computed.
    std::int64_t unreadableFiles = 0;
    /// Cloud placeholders skipped during enumeration.
    std::int64_t notDownloadedFiles = 0;
    /// Files in a size-and-signature cluster that ended in no byte-identical group.
    std::int64_t filesRejectedByVerification = 0;
    /// Media files passed over because their path is not valid UTF-8 and so cannot be reported.
    std::int64_t invalidNameFiles = 0;
    /// Largest reclaimable bytes first.
    std::vector<DuplicateGroup> groups;

    std::int64_t redundantFileCount() const;
    std::int64_t reclaimableBytes() const;
    std::vector<DuplicateGroup> groupsOf(MediaKind kind) const;
    std::int64_t reclaimableBytesOf(MediaKind kind) const;
};

} // namespace quillmere

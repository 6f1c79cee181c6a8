// What a scan is asked to look at, and the record of one candidate file it found.
#pragma once

#include "scan/MediaKind.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

struct ScanConfig {
    /// Absolute folder paths, in the order given; this is the order of enumeration.
    std::vector<std::string> roots;
    /// Subfolder paths relative to each root; empty means each root whole.
    std::vector<std::string> includes;

    /// Every root with every include appended (root-major order), or the roots when there are
    /// no includes. Nothing is checked for existence and repeats are kept.
    std::vector<std::string> scanRoots() const;
};

struct MediaFile {
    std::string path;
    std::int64_t size = 0;
    MediaKind kind = MediaKind::photo;

    friend bool operator==(const MediaFile&, const MediaFile&) = default;
};

} // namespace quillmere

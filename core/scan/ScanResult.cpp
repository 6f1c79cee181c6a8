#include "scan/ScanResult.h"

namespace quillmere {

std::vector<std::string> DuplicateGroup::allPaths() const {
    std::vector<std::string> paths;
    paths.reserve(remove.size() + 1);
    paths.push_back(keep);
    paths.insert(paths.end(), remove.begin(), remove.end());
    return paths;
}

std::int64_t ScanResult::redundantFileCount() const {
    std::int64_t count = 0;
    for (const auto& group : groups)
        count += static_cast<std::int64_t>(group.remove.size());
    return count;
}

std::int64_t ScanResult::reclaimableBytes() const {
    std::int64_t bytes = 0;
    for (const auto& group : groups)
        bytes += group.reclaimableBytes();
    return bytes;
}

std::vector<DuplicateGroup> ScanResult::groupsOf(MediaKind kind) const {
    std::vector<DuplicateGroup> result;
    for (const auto& group : groups)
        if (group.kind == kind)
            result.push_back(group);
    return result;
}

std::int64_t ScanResult::reclaimableBytesOf(MediaKind kind) const {
    std::int64_t bytes = 0;
    for (const auto& group : groups)
        if (group.kind == kind)
            bytes += group.reclaimableBytes();
    return bytes;
}

} // namespace quillmere

#include "scan/ScanConfig.h"

namespace quillmere {

std::vector<std::string> ScanConfig::scanRoots() const {
    if (includes.empty())
        return roots;
    std::vector<std::string> result;
    result.reserve(roots.size() * includes.size());
    for (const auto& root : roots) {
        for (const auto& include : includes) {
            std::string joined = root;
            if (joined.empty() || joined.back() != '/')
                joined += '/';
            joined += include;
            result.push_back(std::move(joined));
        }
    }
    return result;
}

} // namespace quillmere

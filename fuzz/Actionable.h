// The property both manifest readers' fuzz targets check: every record of a decoded manifest that
// Mover::recordRefusal lets the undo act on names, as the system calls see it, a place inside the
// review folder of the manifest's root.
#pragma once

#include "Check.h"
#include "fs/FileSystem.h"
#include "move/Mover.h"
#include "scan/SkipRules.h"

#include <string>
#include <string_view>

namespace quillmere::fuzz {

// The path a system call receives for `path`: its text up to the first NUL.
inline std::string_view asSeenBySystem(const std::string& path) {
    return path.c_str();
}

inline void checkActionable(const MoveManifest& manifest) {
    const std::string folder =
        FileSystem::join(manifest.root, SkipRules::reviewDirectoryName) + "/";
    for (const auto& record : manifest.records) {
        if (Mover::recordRefusal(record, manifest.root))
            continue;
        const std::string_view to = asSeenBySystem(record.to);
        require(to.starts_with(asSeenBySystem(folder)) && to.size() > asSeenBySystem(folder).size(),
                "an accepted record's destination lies inside the review folder");
        require(asSeenBySystem(record.from).starts_with('/') &&
                    asSeenBySystem(record.from).size() == record.from.size(),
                "an accepted record's original path is one absolute path");
    }
}

} // namespace quillmere::fuzz

// The directory walk of a scan: every scan root depth-first in the file system's order, pruned
// folders never entered, symbolic links never followed. Only files whose name already makes them
// photo or video candidates are stat'ed.
#include "scan/CloudStatus.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"
#include "scan/Text.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {

namespace {

constexpr std::int64_t enumerationReportInterval = 4000;

unsigned char typeFromMode(mode_t mode) {
    if (S_ISDIR(mode))
        return DT_DIR;
    if (S_ISREG(mode))
        return DT_REG;
    return DT_UNKNOWN;
}

struct Frame {
    DIR* directory;
    std::size_t pathLength; // length of the folder's path within the walk's path buffer
};

} // namespace

std::vector<MediaFile> DuplicateScanner::enumerateMedia() {
    notDownloaded_ = 0;
    invalidNames_ = 0;
    identities_.clear();
    std::vector<MediaFile> files;
    std::int64_t visited = 0;

    for (const auto& root : config_.scanRoots()) {
        const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (rootFd < 0)
            continue;
        DIR* rootDirectory = ::fdopendir(rootFd);
        if (!rootDirectory) {
            ::close(rootFd);
            continue;
        }

        std::string path = root;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (path == "/")
            path.clear();
        std::vector<Frame> stack{{rootDirectory, path.size()}};

        while (!stack.empty()) {
            if (stop_.stop_requested()) {
                for (const Frame& frame : stack)
                    ::closedir(frame.directory);
                return files;
            }
            DIR* directory = stack.back().directory;
            const dirent* entry = ::readdir(directory);
            if (!entry) {
                // End of the folder, or an error reading it: either way the walk goes on.
                ::closedir(directory);
                stack.pop_back();
                continue;
            }
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;

            if (++visited % enumerationReportInterval == 0)
                report(scanphase::Enumerating{static_cast<std::int64_t>(files.size())});

            path.resize(stack.back().pathLength);
            path += '/';
            path += name;

            const int folderFd = ::dirfd(directory);
            unsigned char type = entry->d_type;
            struct stat status;
            bool haveStatus = false;
            if (type == DT_UNKNOWN) {
                if (::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                haveStatus = true;
                type = typeFromMode(status.st_mode);
            }

            if (type == DT_DIR) {
                if (SkipRules::shouldPrune(name))
                    continue;
                const int childFd =
                    ::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (childFd < 0)
                    continue;
                if (DIR* child = ::fdopendir(childFd))
                    stack.push_back({child, path.size()});
                else
                    ::close(childFd);
                continue;
            }
            if (type != DT_REG || SkipRules::shouldSkip(name))
                continue;
            const auto kind = MediaKinds::fromPath(name);
            if (!kind)
                continue;
            if (!haveStatus && ::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (!S_ISREG(status.st_mode) || status.st_size < 1)
                continue;
            if (!Text::isValidUtf8(path)) {
                ++invalidNames_;
                continue;
            }
            if (cloud_.isPlaceholder(path)) {
                ++notDownloaded_;
                continue;
            }
            files.push_back(MediaFile{path, static_cast<std::int64_t>(status.st_size), *kind});
            identities_.push_back(FileIdentity{status.st_dev, status.st_ino});
        }
    }

    report(scanphase::Enumerating{static_cast<std::int64_t>(files.size())});
    return files;
}

} // namespace quillmere

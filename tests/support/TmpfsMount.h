// A small tmpfs mounted at a folder for one test, so that a full volume or a mount point inside a
// root can be met on a real file system. Mounting needs root; where it is refused, mounted() is
// false and why() says so, for the test to skip.
#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/mount.h>

namespace quillmere::testing {

class TmpfsMount {
  public:
    /// `options` as for mount -o, such as "size=64k".
    TmpfsMount(const std::string& path, const char* options) : path_(path) {
        std::filesystem::create_directories(path);
        error_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options) == 0 ? 0 : errno;
    }
    ~TmpfsMount() {
        if (mounted())
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return error_ == 0; }
    std::string why() const {
        return "mounting a tmpfs is refused here: " + std::string(std::strerror(error_));
    }

  private:
    std::string path_;
    int error_ = 0;
};

} // namespace quillmere::testing

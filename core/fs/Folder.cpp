// Folder handles on Linux: openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has
// it (5.6 and later), otherwise, and to create what is missing, a descent of one component at a
// time with O_NOFOLLOW | O_DIRECTORY.
#include "fs/Folder.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace quillmere {

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int openBeneathAtOnce(int base, const std::string& relative) {
#ifdef SYS_openat2
    open_how how{};
    how.flags = folderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how);
    return fd < 0 ? -1 : int(fd);
#else
    (void)base;
    (void)relative;
    errno = ENOSYS;
    return -1;
#endif
}

[[noreturn]] void failAt(const std::string& path, int error) {
    throw Error(path + ": " + FileSystem::describeErrno(error));
}

[[noreturn]] void failAtLink(const std::string& path) {
    throw Error(path + " is a symbolic link; nothing is moved through a link");
}

} // namespace

Folder Folder::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        failAt(path, errno);
    return Folder(fd, path);
}

Folder Folder::beneath(std::string_view relative, Missing missing) const {
    const std::string target = relative.empty() ? path_ : FileSystem::join(path_, relative);
    if (relative.empty()) {
        const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            failAt(path_, errno);
        return Folder(fd, path_);
    }
    // The common case, a folder that exists, takes one call; whatever else happens is settled by
    // the descent below, which also says which component is a link.
    if (const int fd = openBeneathAtOnce(fd_, std::string(relative)); fd >= 0)
        return Folder(fd, target);

    Folder current(::fcntl(fd_, F_DUPFD_CLOEXEC, 0), path_);
    if (current.fd_ < 0)
        failAt(path_, errno);
    std::size_t start = 0;
    while (start < relative.size()) {
        const auto slash = relative.find('/', start);
        const auto end = slash == std::string_view::npos ? relative.size() : slash;
        const std::string name(relative.substr(start, end - start));
        start = end + 1;
        if (name.empty())
            continue;
        const std::string here = FileSystem::join(current.path_, name);
        if (name == "." || name == "..")
            throw Error(here + ": \".\" and \"..\" are not followed");
        int fd = ::openat(current.fd_, name.c_str(), folderFlags);
        if (fd < 0 && errno == ENOENT && missing == Missing::create) {
            if (::mkdirat(current.fd_, name.c_str(), 0777) != 0 && errno != EEXIST)
                failAt(here, errno);
            fd = ::openat(current.fd_, name.c_str(), folderFlags);
        }
        if (fd < 0) {
            const int error = errno;
            struct stat info {};
            if (::fstatat(current.fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                failAtLink(here);
            failAt(here, error);
        }
        current = Folder(fd, here);
    }
    return current;
}

bool Folder::holds(const std::string& name) const {
    struct stat info {};
    return ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

void Folder::sync() const {
    ::fsync(fd_);
}

Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Folder::~Folder() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace quillmere

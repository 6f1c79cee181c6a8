// An LD_PRELOAD library that gives one file a bad block: pread of the file named in the control
// file ($QUILLMERE_EIO_CONTROL: its path on the first line, the offset of the bad byte on the
// second) returns the bytes before that offset and then fails with EIO, as a disk with an
// unreadable sector does. Without a control file every call goes straight to the C library.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

using Pread = ssize_t (*)(int, void*, size_t, off_t);

// The offset of the bad byte if `fd` is the faulty file, else -1. The control file is read on
// every call so that a test can turn the fault on while the process runs.
long long badOffset(int fd) {
    const char* control = std::getenv("QUILLMERE_EIO_CONTROL");
    if (!control)
        return -1;
    std::FILE* file = std::fopen(control, "r");
    if (!file)
        return -1;
    char wanted[4096] = {};
    long long offset = -1;
    if (!std::fgets(wanted, sizeof wanted, file) || std::fscanf(file, "%lld", &offset) != 1)
        offset = -1;
    std::fclose(file);
    wanted[std::strcspn(wanted, "\n")] = '\0';
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length < 0)
        return -1;
    path[length] = '\0';
    return std::strcmp(path, wanted) == 0 ? offset : -1;
}

ssize_t faulty(const char* name, int fd, void* buffer, size_t count, off_t offset) {
    const auto real = reinterpret_cast<Pread>(::dlsym(RTLD_NEXT, name));
    const long long bad = badOffset(fd);
    if (bad < 0 || offset + (long long)count <= bad)
        return real(fd, buffer, count, offset);
    if (offset < bad)
        return real(fd, buffer, size_t(bad - offset), offset);
    errno = EIO;
    return -1;
}

} // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    return faulty("pread", fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    return faulty("pread64", fd, buffer, count, offset);
}

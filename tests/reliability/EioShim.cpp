// An LD_PRELOAD library that gives one file a bad block: pread of the file named in the control
// file ($QUILLMERE_EIO_CONTROL: its path on the first line, the offset of the bad byte on the
// second) returns the bytes before that offset and then fails with EIO, as a disk with an
// unreadable sector does. With "cut" on the second line instead, the file is cut short at the
// start of the first stretch of it that is mapped, just after it is mapped, as another program
// may do while the tool compares it. Without a control file every call goes straight to the C
// library.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Pread = ssize_t (*)(int, void*, size_t, off_t);

// The offset of the bad byte if `fd` is the faulty file, else -1 (-2 for a file to cut), and in
// `path` the file's path. The control file is read on every call so that a test can turn the fault
// on while the process runs.
long long badOffset(int fd, char (&path)[4096]) {
    const char* control = std::getenv("QUILLMERE_EIO_CONTROL");
    if (!control)
        return -1;
    std::FILE* file = std::fopen(control, "r");
    if (!file)
        return -1;
    char wanted[4096] = {};
    char fault[32] = {};
    long long offset = -1;
    if (std::fgets(wanted, sizeof wanted, file) && std::fscanf(file, "%31s", fault) == 1)
        offset = std::strcmp(fault, "cut") == 0 ? -2 : std::atoll(fault);
    std::fclose(file);
    wanted[std::strcspn(wanted, "\n")] = '\0';
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length < 0)
        return -1;
    path[length] = '\0';
    return std::strcmp(path, wanted) == 0 ? offset : -1;
}

ssize_t faulty(const char* name, int fd, void* buffer, size_t count, off_t offset) {
    const auto real = reinterpret_cast<Pread>(::dlsym(RTLD_NEXT, name));
    char path[4096];
    const long long bad = badOffset(fd, path);
    if (bad < 0 || offset + (long long)count <= bad)
        return real(fd, buffer, count, offset);
    if (offset < bad)
        return real(fd, buffer, size_t(bad - offset), offset);
    errno = EIO;
    return -1;
}

} // namespace

// The system call itself: looking the C library's function up may allocate, and a sanitizer's
// runtime maps memory before its allocator is ready. (ThreadSanitizer's runtime does not start with
// any mmap in front of its own; EioTest is not among the tests of that build.)
extern "C" void* mmap(void* address, size_t length, int protection, int flags, int fd,
                      off_t offset) {
    void* mapped = reinterpret_cast<void*>(
        ::syscall(SYS_mmap, address, length, protection, flags, fd, offset));
    char path[4096];
    if (mapped != MAP_FAILED && fd >= 0 && badOffset(fd, path) == -2 && ::truncate(path, offset))
        std::perror("EioShim: truncate");
    return mapped;
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    return faulty("pread", fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    return faulty("pread64", fd, buffer, count, offset);
}

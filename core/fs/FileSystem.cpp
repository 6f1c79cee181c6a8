// POSIX implementation of the shared file-system helpers. Every failure names the path and the
// system's reason, so callers can show it after their own lead-in.
#include "fs/FileSystem.h"

#include "Error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <optional>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillmere::FileSystem {

namespace {

[[noreturn]] void fail(const std::string& path, int error) {
    throw Error(path + ": " + describeErrno(error));
}

std::string workingFolder() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            throw Error("the working folder cannot be read: " + describeErrno(errno));
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The home folder of an account from the password database, or nothing. Reentrant, since the
// app resolves paths off the main thread.
std::optional<std::string> homeFromPasswordDatabase(const char* user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    for (;;) {
        const int error =
            user ? ::getpwnam_r(user, &entry, buffer.data(), buffer.size(), &found)
                 : ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error != ERANGE)
            break;
        buffer.resize(buffer.size() * 2);
    }
    if (!found || !found->pw_dir)
        return std::nullopt;
    return std::string(found->pw_dir);
}

std::string homeOfCurrentUser() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    return homeFromPasswordDatabase(nullptr).value_or("/");
}

// Appends `rest` (empty or beginning with "/") to a home folder without doubling the slash.
std::string homeJoin(std::string home, std::string_view rest) {
    if (!rest.empty() && !home.empty() && home.back() == '/')
        home.pop_back();
    if (home.empty() && rest.empty())
        return "/";
    return home + std::string(rest);
}

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

void writeAll(int fd, std::string_view contents, const std::string& path) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(path, errno);
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Writes `contents` to an open file, flushes them to disk and closes it, also when that fails.
void writeFlushAndClose(int fd, std::string_view contents, const std::string& path) {
    try {
        writeAll(fd, contents, path);
        if (::fsync(fd) != 0)
            fail(path, errno);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        fail(path, errno);
}

// A new, exclusively created file beside the target. Created with mode 0666 so that the umask
// applies as for any other new file (mkstemp would force 0600 on the finished report).
std::pair<int, std::string> createTemporarySibling(const std::string& path) {
    // Keep the temporary name within NAME_MAX even for a target name near the limit.
    const std::string name(lastComponent(path).substr(0, 200));
    const std::string folder = parent(path);
    static constexpr std::string_view alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 engine(seed());
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(8, ' ');
        for (auto& c : suffix)
            c = alphabet[pick(engine)];
        const std::string temporary = join(folder, "." + name + ".tmp-" + suffix);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return {fd, temporary};
        if (errno != EEXIST)
            fail(path, errno);
    }
    fail(path, EEXIST);
}

} // namespace

std::string resolve(std::string_view path) {
    if (!path.empty() && path.front() == '~') {
        const auto slash = path.find('/');
        const std::string_view user =
            path.substr(1, slash == std::string_view::npos ? slash : slash - 1);
        const std::string_view rest =
            slash == std::string_view::npos ? std::string_view() : path.substr(slash);
        if (user.empty())
            return homeJoin(homeOfCurrentUser(), rest);
        // An unknown user leaves the tilde as it is, as a shell does.
        if (const auto home = homeFromPasswordDatabase(std::string(user).c_str()))
            return homeJoin(*home, rest);
    }
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    const std::string folder = workingFolder();
    return path.empty() ? folder : join(folder, path);
}

std::string standardize(std::string_view absolutePath) {
    const bool absolute = !absolutePath.empty() && absolutePath.front() == '/';
    std::vector<std::string_view> kept;
    for (const auto part : components(absolutePath)) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty() && kept.back() != "..")
                kept.pop_back();
            else if (!absolute)
                kept.push_back(part);
            continue;
        }
        kept.push_back(part);
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            result += '/';
        result += kept[i];
    }
    if (result.empty())
        result = ".";
    return result;
}

std::string resolveLinks(std::string_view absolutePath) {
    std::string current = absolutePath.starts_with('/') ? "/" : resolveLinks(workingFolder());
    for (const auto part : components(absolutePath)) {
        if (part == ".")
            continue;
        if (part == "..") {
            current = parent(current);
            continue;
        }
        std::string candidate = join(current, part);
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            // A dangling or looping link stays as it is, like any missing component.
            if (char* target = ::realpath(candidate.c_str(), nullptr)) {
                candidate = target;
                std::free(target);
            }
        }
        current = std::move(candidate);
    }
    return current;
}

bool existsNoFollow(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string_view lastComponent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    if (path == "/")
        return path;
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string parent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    return std::string(withoutTrailingSlashes(path.substr(0, slash + 1)));
}

std::string_view extension(std::string_view path) {
    const std::string_view name = lastComponent(path);
    const auto dot = name.rfind('.');
    // A leading dot marks a hidden name, not an extension.
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::string join(std::string_view folder, std::string_view relative) {
    std::string joined(folder);
    if (joined.empty() || joined.back() != '/')
        joined += '/';
    joined += relative;
    return joined;
}

void createDirectories(const std::string& path) {
    if (isDirectory(path))
        return;
    if (const std::string above = parent(path); above != path && !exists(above))
        createDirectories(above);
    if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && isDirectory(path)))
        fail(path, errno);
}

void writeAtomically(const std::string& path, std::string_view contents) {
    const auto [fd, temporary] = createTemporarySibling(path);
    try {
        writeFlushAndClose(fd, contents, path);
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            fail(path, errno);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // Make the rename itself durable; the data is already safe, so a failure here changes nothing.
    const int folder = ::open(parent(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void writeNewFile(int folderFd, const std::string& path, std::string_view contents) {
    const std::string name(lastComponent(path));
    const int fd = ::openat(folderFd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(path, errno);
    try {
        writeFlushAndClose(fd, contents, path);
    } catch (...) {
        ::unlinkat(folderFd, name.c_str(), 0);
        throw;
    }
}

std::string readAll(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(path, errno);
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            fail(path, error);
        }
        if (count == 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return contents;
}

std::string describeErrno(int error) {
    // strerror follows LC_MESSAGES; the texts shown by this system are the untranslated ones.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    if (cLocale)
        return ::strerror_l(error, cLocale);
    return "error " + std::to_string(error);
}

} // namespace quillmere::FileSystem

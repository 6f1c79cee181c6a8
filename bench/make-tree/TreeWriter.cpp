#include "TreeWriter.h"

#include "ContentStream.h"
#include "Error.h"
#include "fs/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace quillmere::benchtree {

namespace {

constexpr std::size_t writeBlock = 4 << 20;
// Files above this size are signed by their first and last 128 KiB only (a stretch altered in
// between keeps the signature); smaller ones whole.
constexpr std::int64_t wholeSignatureLimit = 262144;

void requireEmptyOrMissing(const std::string& folder) {
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        if (errno == ENOENT)
            return;
        throw Error(folder + ": " + FileSystem::describeErrno(errno));
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(directory))
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
            empty = false;
    ::closedir(directory);
    if (!empty)
        throw Error(folder + " is not empty; give a new folder (nothing in it is ever replaced)");
}

void writeFile(const std::string& path, const PlannedFile& file, std::vector<std::byte>& buffer) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw Error(path + ": " + FileSystem::describeErrno(errno));
    for (std::int64_t offset = 0; offset < file.size;) {
        const auto length =
            static_cast<std::size_t>(std::min<std::int64_t>(file.size - offset, writeBlock));
        ContentStream::fill(file.content, offset, std::span(buffer.data(), length));
        std::size_t written = 0;
        while (written < length) {
            const ssize_t n = ::write(fd, buffer.data() + written, length - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                throw Error(path + ": " + FileSystem::describeErrno(error));
            }
            written += static_cast<std::size_t>(n);
        }
        offset += static_cast<std::int64_t>(length);
    }
    if (::close(fd) != 0)
        throw Error(path + ": " + FileSystem::describeErrno(errno));
}

std::string contentKey(const Content& content) {
    char key[64];
    if (content.alteredAt < 0)
        std::snprintf(key, sizeof key, "%" PRIx64, content.id);
    else
        std::snprintf(key, sizeof key, "%" PRIx64 "@%" PRId64, content.id, content.alteredAt);
    return key;
}

} // namespace

std::int64_t plannedDiskBytes(const Plan& plan) {
    std::int64_t bytes = 0;
    for (const auto& file : plan.files)
        bytes += file.size + 4096;
    return bytes;
}

void writeTree(const Plan& plan, const std::string& folder, const TreeOrigin& origin) {
    requireEmptyOrMissing(folder);
    FileSystem::createDirectories(folder);
    std::unordered_set<std::string> made;
    std::vector<std::byte> buffer(writeBlock);
    for (const auto& file : plan.files) {
        const std::string path = FileSystem::join(folder, file.path);
        if (const std::string parent = FileSystem::parent(path); made.insert(parent).second)
            FileSystem::createDirectories(parent);
        writeFile(path, file, buffer);
    }
    FileSystem::writeAtomically(FileSystem::join(folder, manifestName), manifest(plan, origin));
}

std::string manifest(const Plan& plan, const TreeOrigin& origin) {
    std::string text = "# quillmere-make-tree profile=" + std::string(profileName(origin.profile));
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " scale=%g seed=%" PRIu64 "\n", origin.scale,
                  origin.seed);
    text += numbers;
    text += "role\tsize\tcontent\tsignature\tpath\n";
    for (const auto& file : plan.files) {
        const std::string content = file.size == 0 ? "-" : contentKey(file.content);
        const std::string signature =
            file.size > wholeSignatureLimit ? contentKey({file.content.id, -1}) : content;
        text += std::string(roleName(file.role)) + "\t" + std::to_string(file.size) + "\t" +
                content + "\t" + signature + "\t" + file.path + "\n";
    }
    return text;
}

} // namespace quillmere::benchtree

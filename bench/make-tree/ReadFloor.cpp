// quillmere-read-floor: reads given byte ranges of given files once, with one worker per core,
// as the floor a byte-exact duplicate finder cannot go below. Each line of the list is
// "OFFSET:LENGTH[,OFFSET:LENGTH...]<TAB>PATH"; a LENGTH of -1 means to the end of the file.
#include "fs/FileSystem.h"
#include "scan/ParallelFor.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace quillmere;

namespace {

constexpr std::size_t readBlock = 1 << 20;

struct Range {
    std::int64_t offset;
    std::int64_t length;
};

struct Entry {
    std::string path;
    std::vector<Range> ranges;
};

std::vector<Entry> readList(const char* listPath) {
    std::ifstream list(listPath);
    if (!list)
        throw std::runtime_error(std::string(listPath) + ": cannot open");
    std::vector<Entry> entries;
    std::string line;
    while (std::getline(list, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            throw std::runtime_error("malformed line: " + line);
        Entry entry{line.substr(tab + 1), {}};
        const char* cursor = line.c_str();
        while (cursor < line.c_str() + tab) {
            char* end;
            const std::int64_t offset = std::strtoll(cursor, &end, 10);
            const std::int64_t length = std::strtoll(end + 1, &end, 10);
            entry.ranges.push_back({offset, length});
            cursor = end + 1;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Reads the ranges of one file; returns the bytes read, or -1 with a message on failure.
std::int64_t readEntry(const Entry& entry, std::vector<std::byte>& buffer, std::string& failure) {
    const int fd = ::open(entry.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failure = entry.path + ": " + FileSystem::describeErrno(errno);
        return -1;
    }
    std::int64_t total = 0;
    for (Range range : entry.ranges) {
        if (range.length < 0) {
            struct stat status;
            if (::fstat(fd, &status) != 0) {
                failure = entry.path + ": " + FileSystem::describeErrno(errno);
                break;
            }
            range.length = status.st_size - range.offset;
        }
        if (range.length > static_cast<std::int64_t>(readBlock))
            ::posix_fadvise(fd, range.offset, range.length, POSIX_FADV_SEQUENTIAL);
        for (std::int64_t done = 0; done < range.length && failure.empty();) {
            const auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(range.length - done, readBlock));
            const ssize_t n = ::pread(fd, buffer.data(), want, range.offset + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                failure = entry.path + ": " +
                          (n == 0 ? std::string("ended early") : FileSystem::describeErrno(errno));
            else
                done += n;
        }
        total += range.length;
    }
    ::close(fd);
    return failure.empty() ? total : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quillmere-read-floor LIST\n";
        return 2;
    }
    try {
        const std::vector<Entry> entries = readList(argv[1]);
        std::atomic<std::int64_t> next{0};
        std::atomic<std::int64_t> bytes{0};
        std::atomic<bool> failed{false};
        parallelFor(onlineCores(), [&](std::int64_t) {
            std::vector<std::byte> buffer(readBlock);
            std::string failure;
            for (auto i = next.fetch_add(1); i < static_cast<std::int64_t>(entries.size());
                 i = next.fetch_add(1)) {
                const std::int64_t read =
                    readEntry(entries[static_cast<std::size_t>(i)], buffer, failure);
                if (read < 0) {
                    if (!failed.exchange(true))
                        std::cerr << "quillmere-read-floor: " << failure << "\n";
                    return;
                }
                bytes += read;
            }
        });
        if (failed)
            return 1;
        std::printf("read %lld bytes of %zu files\n", static_cast<long long>(bytes.load()),
                    entries.size());
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "quillmere-read-floor: " << error.what() << "\n";
        return 2;
    }
}

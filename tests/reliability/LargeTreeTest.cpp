// A scan of a folder tree of a million entries, for its time and memory. Building and removing
// such a tree takes minutes, so the test runs only when QUILLMERE_LARGE_TREE gives the number of
// entries (for example 1000000); the figures are printed and recorded, never asserted beyond the
// scan's result being right.
#include "TempDir.h"
#include "scan/DuplicateScanner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::TempDir;

namespace {

constexpr std::int64_t entriesPerFolder = 1000;
// Of every folder's entries: this many photos with content, in identical pairs; the rest are
// empty photos, which the walk must still look at.
constexpr std::int64_t filledPerFolder = 10;

long peakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeFile(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != ssize_t(content.size()))
        throw std::runtime_error("cannot write " + path);
    ::close(fd);
}

} // namespace

TEST(LargeTreeTest, ScanTimeAndMemoryOfAMillionEntries) {
    const char* requested = std::getenv("QUILLMERE_LARGE_TREE");
    if (!requested)
        GTEST_SKIP() << "set QUILLMERE_LARGE_TREE to a number of entries, such as 1000000, to run";
    const std::int64_t folders =
        std::max<std::int64_t>(1, std::atoll(requested) / entriesPerFolder);

    TempDir dir;
    const auto built = std::chrono::steady_clock::now();
    std::int64_t pairs = 0;
    for (std::int64_t folder = 0; folder < folders; ++folder) {
        const std::string path =
            dir.mkdir("tree/" + std::to_string(folder % 100) + "/" + std::to_string(folder));
        for (std::int64_t entry = 0; entry < entriesPerFolder; ++entry) {
            std::string content;
            if (entry < filledPerFolder) {
                // Entry 2k and 2k+1 of a folder share their content; sizes differ across pairs.
                const std::int64_t pair = folder * filledPerFolder / 2 + entry / 2;
                content =
                    "pair " + std::to_string(pair) + std::string(std::size_t(pair % 997), '.');
                pairs += entry % 2;
            }
            writeFile(path + "/IMG_" + std::to_string(entry) + ".jpg", content);
        }
    }
    const double buildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - built).count();

    const long peakBefore = peakKilobytes();
    const auto started = std::chrono::steady_clock::now();
    const ScanResult result = DuplicateScanner(ScanConfig{{dir.path("tree")}, {}}).scan();
    const double scanSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long peakAfter = peakKilobytes();

    EXPECT_EQ(result.filesScanned, folders * filledPerFolder);
    EXPECT_EQ(std::int64_t(result.groups.size()), pairs);
    std::printf("entries: %lld in %lld folders, built in %.1f s\n"
                "scan: %.2f s, peak memory %ld KiB before and %ld KiB after the scan\n",
                static_cast<long long>(folders * entriesPerFolder), static_cast<long long>(folders),
                buildSeconds, scanSeconds, peakBefore, peakAfter);
    RecordProperty("entries", std::to_string(folders * entriesPerFolder));
    RecordProperty("scanSeconds", std::to_string(scanSeconds));
    RecordProperty("peakKiB", std::to_string(peakAfter));
}

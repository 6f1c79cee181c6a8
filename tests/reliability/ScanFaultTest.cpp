// The scan on files that change under it, its progress reports as the hooks (the last enumerating
// report comes after the walk, the grouping report after the signatures); and a million entries.
#include "Inventory.h"
#include "scan/DuplicateScanner.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

// A small file (up to 256 KiB) may be compared in full with its signature, a large one after.
constexpr std::size_t small = 5000, large = 400000;
constexpr int any = -1;

// Photos a.jpg and sub/b.jpg of `size` identical bytes, and a pair other/c.png that must still be
// found. scan() runs `fault` once, at the first report (the walk's) or after the signatures.
struct Fixture {
    TempDir dir;
    std::string content, a, b;

    explicit Fixture(std::size_t size)
        : content(randomBytes(size, 1)), a(dir.write("a.jpg", content)),
          b(dir.write("sub/b.jpg", content)) {
        dir.write("other/c.png", randomBytes(777, 2));
        dir.write("other/c copy.png", randomBytes(777, 2));
    }
    ScanResult scan(bool afterSignatures, std::function<void()> fault) const {
        auto once = std::make_shared<std::once_flag>();
        const ScanProgress hook = [=](const ScanPhase& phase) {
            if (!afterSignatures || std::holds_alternative<scanphase::Grouping>(phase))
                std::call_once(*once, fault);
        };
        return DuplicateScanner(ScanConfig{{dir.path()}, {}}, hook).scan();
    }
};

} // namespace

// Whatever happens to b.jpg, it is never grouped. A named pipe hung the scan (opening it waited
// for a writer); a link to a.jpg was read through and a.jpg listed as its own copy.
TEST(ScanFaultTest, FileChangedDuringTheScanIsNeverGrouped) {
    const struct {
        Change change;
        std::size_t size;
        bool afterSignatures;
        int unreadable, rejected;
    } cases[] = {
        {Change::remove, small, false, 1, 0},   {Change::shrink, small, false, any, any},
        {Change::shrink, large, false, 1, any}, {Change::grow, small, false, 0, any},
        {Change::grow, large, false, 0, 2},     {Change::editFirst, large, true, any, 2},
        {Change::editMid, large, true, any, 2}, {Change::editLast, large, true, any, 2},
        {Change::remove, large, true, 0, 2},    {Change::pipe, small, false, 1, 0},
        {Change::pipe, large, true, 0, 2},      {Change::link, small, false, 1, 0},
        {Change::folder, small, false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "change " << int(c.change) << " of " << c.size
                                          << " bytes after the signatures: " << c.afterSignatures);
        const Fixture fixture(c.size);
        const auto result =
            fixture.scan(c.afterSignatures, [&] { change(c.change, fixture.b, fixture.a); });
        ASSERT_EQ(result.groups.size(), 1u);
        EXPECT_EQ(result.groups[0].keep, fixture.dir.path("other/c.png"));
        EXPECT_EQ(result.filesScanned, 4);
        EXPECT_TRUE(c.unreadable == any || result.unreadableFiles == c.unreadable)
            << result.unreadableFiles;
        EXPECT_TRUE(c.rejected == any || result.filesRejectedByVerification == c.rejected)
            << result.filesRejectedByVerification;
        EXPECT_TRUE(readFile(fixture.a) == fixture.content);
    }
}

// At the walk's first report (after 4000 entries) a folder holding a pair is removed: its files
// are unseen or unreadable, and the rest is scanned.
TEST(ScanFaultTest, FolderRemovedDuringTheWalkEndsOnlyItsOwnPart) {
    const Fixture fixture(small);
    for (const auto& name : {"gone/x.jpg", "gone/y.jpg"})
        fixture.dir.write(name, randomBytes(3000, 3));
    for (int i = 0; i < 4100; ++i)
        fixture.dir.write("notes/" + std::to_string(i) + ".txt", "");
    const auto result =
        fixture.scan(false, [&] { std::filesystem::remove_all(fixture.dir.path("gone")); });
    ASSERT_EQ(result.groups.size(), 2u);
    EXPECT_EQ(result.groups[1].keep, fixture.dir.path("other/c.png")); // largest reclaimable first
    EXPECT_EQ(result.filesScanned - result.unreadableFiles, 4);
    EXPECT_TRUE(result.filesScanned == 4 || result.unreadableFiles == 2) << result.filesScanned;
}

// Runs only when QUILLMERE_LARGE_TREE gives a number of entries (a million takes minutes): folders
// of 1000 empty photos but for 5 identical pairs. Time and peak memory are printed, not asserted.
TEST(LargeTreeTest, ScanTimeAndMemoryOfAMillionEntries) {
    const char* requested = std::getenv("QUILLMERE_LARGE_TREE");
    if (!requested)
        GTEST_SKIP() << "set QUILLMERE_LARGE_TREE to a number of entries, such as 1000000, to run";
    const long long folders = std::max(1LL, std::atoll(requested) / 1000);
    TempDir dir;
    for (long long folder = 0; folder < folders; ++folder)
        for (long long entry = 0; entry < 1000; ++entry)
            dir.write("tree/" + std::to_string(folder % 100) + "/" + std::to_string(folder) +
                          "/IMG_" + std::to_string(entry) + ".jpg",
                      entry < 10 ? "pair " + std::to_string(folder * 5 + entry / 2) : "");
    const auto started = std::chrono::steady_clock::now();
    const ScanResult result = DuplicateScanner(ScanConfig{{dir.path("tree")}, {}}).scan();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_EQ(result.filesScanned, folders * 10);
    EXPECT_EQ(static_cast<long long>(result.groups.size()), folders * 5);
    std::printf("%lld entries: scan %.2f s, peak memory %ld KiB\n", folders * 1000,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
                usage.ru_maxrss);
}

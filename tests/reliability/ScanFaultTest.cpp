// The scan on real files that change under it: removed, shrunk, grown, edited or replaced by
// something that is not a regular file between the walk and the signatures, or between the
// signatures and the full comparison. The scanner's progress reports are the hooks: the last
// enumerating report comes after the walk, the grouping report after every signature. Whatever
// happens, no group may hold files that are not byte-identical and no file may be changed.
#include "Inventory.h"
#include "TempDir.h"
#include "scan/DuplicateScanner.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::Inventory;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::TempDir;
namespace fs = std::filesystem;

namespace {

// Runs `action` once, at the first report of `Phase`, from whichever thread sends it.
template <typename Phase> ScanProgress atFirst(std::function<void()> action) {
    auto once = std::make_shared<std::once_flag>();
    return [once, action = std::move(action)](const ScanPhase& phase) {
        if (std::holds_alternative<Phase>(phase))
            std::call_once(*once, action);
    };
}

ScanProgress afterTheWalk(std::function<void()> action) {
    return atFirst<scanphase::Enumerating>(std::move(action));
}

ScanProgress afterTheSignatures(std::function<void()> action) {
    return atFirst<scanphase::Grouping>(std::move(action));
}

ScanResult scan(const TempDir& dir, ScanProgress progress) {
    return DuplicateScanner(ScanConfig{{dir.path()}, {}}, std::move(progress)).scan();
}

// Every group holds byte-identical files only, as they are on disk now.
::testing::AssertionResult onlyTrueCopies(const ScanResult& result) {
    for (const auto& group : result.groups)
        for (const auto& path : group.remove)
            if (readFile(path) != readFile(group.keep))
                return ::testing::AssertionFailure() << path << " is not a copy of " << group.keep;
    return ::testing::AssertionSuccess();
}

void append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// A small file (up to 256 KiB) may be compared in full as early as its signature; a large one is
// signed by its head and tail and compared after the grouping report.
constexpr std::size_t smallFile = 5000;
constexpr std::size_t largeFile = 400000;

// A pair of identical photos, a.jpg and b.jpg, of `size` bytes, plus an unrelated pair that must
// still be found whatever happens to the first.
struct Fixture {
    TempDir dir;
    std::string content;
    std::string a, b;

    explicit Fixture(std::size_t size)
        : content(randomBytes(size, 1)), a(dir.write("a.jpg", content)),
          b(dir.write("sub/b.jpg", content)) {
        dir.write("other/c.png", randomBytes(777, 2));
        dir.write("other/c copy.png", randomBytes(777, 2));
    }

    // Only the unrelated pair makes a group.
    void expectOnlyTheOtherGroup(const ScanResult& result) const {
        ASSERT_EQ(result.groups.size(), 1u);
        EXPECT_EQ(result.groups[0].keep, dir.path("other/c.png"));
        EXPECT_TRUE(onlyTrueCopies(result));
    }
};

} // namespace

TEST(ScanFaultTest, FileDeletedAfterTheWalkIsCountedUnreadableAndNeverGrouped) {
    Fixture fixture(smallFile);
    const auto result = scan(fixture.dir, afterTheWalk([&] { fs::remove(fixture.b); }));
    fixture.expectOnlyTheOtherGroup(result);
    EXPECT_EQ(result.filesScanned, 4);
    EXPECT_EQ(result.unreadableFiles, 1);
    EXPECT_TRUE(readFile(fixture.a) == fixture.content);
}

// Whatever happens to a file after the walk, it is never grouped. For a large one the counts
// follow: a shrunk file cannot be signed, a grown one shares its twin's signature (its head and
// the tail that ended at the old size) until the full comparison rejects both.
TEST(ScanFaultTest, FileShrunkAfterTheWalkIsNeverGrouped) {
    for (const std::size_t size : {smallFile, largeFile}) {
        SCOPED_TRACE(size);
        Fixture fixture(size);
        const auto result =
            scan(fixture.dir, afterTheWalk([&] { fs::resize_file(fixture.b, size - 1); }));
        fixture.expectOnlyTheOtherGroup(result);
        if (size == largeFile) {
            EXPECT_EQ(result.unreadableFiles, 1);
        }
    }
}

TEST(ScanFaultTest, FileGrownAfterTheWalkIsNeverGrouped) {
    for (const std::size_t size : {smallFile, largeFile}) {
        SCOPED_TRACE(size);
        Fixture fixture(size);
        const auto result = scan(fixture.dir, afterTheWalk([&] { append(fixture.b, "more"); }));
        fixture.expectOnlyTheOtherGroup(result);
        EXPECT_EQ(result.unreadableFiles, 0);
        if (size == largeFile) {
            EXPECT_EQ(result.filesRejectedByVerification, 2);
        }
        EXPECT_TRUE(readFile(fixture.b) == fixture.content + "more");
    }
}

// Between the signatures and the full comparison of large files: the comparison alone decides.
TEST(ScanFaultTest, LargeFileEditedAfterTheSignaturesIsRejectedByTheFullComparison) {
    for (const std::size_t offset : {0u, 200000u, 399999u}) {
        SCOPED_TRACE(offset);
        Fixture fixture(largeFile);
        std::string edited = fixture.content;
        edited[offset] = static_cast<char>(~edited[offset]);
        const auto result =
            scan(fixture.dir, afterTheSignatures([&] { fixture.dir.write("sub/b.jpg", edited); }));
        fixture.expectOnlyTheOtherGroup(result);
        EXPECT_EQ(result.filesRejectedByVerification, 2);
        EXPECT_TRUE(readFile(fixture.b) == edited);
    }
}

TEST(ScanFaultTest, LargeFileDeletedAfterTheSignaturesIsRejectedByTheFullComparison) {
    Fixture fixture(largeFile);
    const auto result = scan(fixture.dir, afterTheSignatures([&] { fs::remove(fixture.b); }));
    fixture.expectOnlyTheOtherGroup(result);
    EXPECT_EQ(result.unreadableFiles, 0);
    EXPECT_EQ(result.filesRejectedByVerification, 2);
}

// Opening a named pipe for reading waits for a writer that never comes: the scan must not open
// anything but a regular file.
TEST(ScanFaultTest, FileReplacedByANamedPipeDoesNotHangTheScan) {
    for (const bool afterSignatures : {false, true}) {
        SCOPED_TRACE(afterSignatures ? "after the signatures" : "after the walk");
        Fixture fixture(afterSignatures ? largeFile : smallFile);
        const auto replace = [&] {
            fs::remove(fixture.b);
            ASSERT_EQ(::mkfifo(fixture.b.c_str(), 0644), 0);
        };
        const auto result = scan(fixture.dir, afterSignatures ? afterTheSignatures(replace)
                                                              : afterTheWalk(replace));
        fixture.expectOnlyTheOtherGroup(result);
        EXPECT_EQ(result.unreadableFiles + result.filesRejectedByVerification,
                  afterSignatures ? 2 : 1);
    }
}

// A symbolic link is never a candidate; one swapped in after the walk must not be read through,
// or its target would be listed as a copy of itself.
TEST(ScanFaultTest, FileReplacedByALinkToItsTwinIsNeverGrouped) {
    Fixture fixture(smallFile);
    const auto result = scan(fixture.dir, afterTheWalk([&] {
                                 fs::remove(fixture.b);
                                 fs::create_symlink(fixture.a, fixture.b);
                             }));
    fixture.expectOnlyTheOtherGroup(result);
    EXPECT_EQ(result.unreadableFiles, 1);
}

TEST(ScanFaultTest, FileReplacedByAFolderIsCountedUnreadable) {
    Fixture fixture(smallFile);
    const auto result = scan(fixture.dir, afterTheWalk([&] {
                                 fs::remove(fixture.b);
                                 fs::create_directory(fixture.b);
                             }));
    fixture.expectOnlyTheOtherGroup(result);
    EXPECT_EQ(result.unreadableFiles, 1);
}

// The walk reports every 4000 entries; at the first report a folder that holds a pair is removed.
// Whether the walk had passed it or not, its files are either unseen or unreadable, and the rest
// of the tree is still scanned.
TEST(ScanFaultTest, FolderRemovedDuringTheWalkEndsOnlyItsOwnPart) {
    Fixture fixture(smallFile);
    const std::string pair = randomBytes(3000, 3);
    fixture.dir.write("gone/x.jpg", pair);
    fixture.dir.write("gone/y.jpg", pair);
    const std::string notes = fixture.dir.mkdir("notes");
    for (int i = 0; i < 4100; ++i)
        std::ofstream(notes + "/" + std::to_string(i) + ".txt");
    const auto result =
        scan(fixture.dir, afterTheWalk([&] { fs::remove_all(fixture.dir.path("gone")); }));
    ASSERT_EQ(result.groups.size(), 2u);
    EXPECT_TRUE(onlyTrueCopies(result));
    EXPECT_EQ(result.filesScanned - result.unreadableFiles, 4);
    EXPECT_TRUE(result.filesScanned == 4 || result.unreadableFiles == 2) << result.filesScanned;
}

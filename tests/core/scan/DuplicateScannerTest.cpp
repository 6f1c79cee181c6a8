// The directory walk and the scan pipeline on real fixture trees.
#include "scan/DuplicateScanner.h"

#include "TempDir.h"
#include "scan/CloudStatus.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::randomBytes;
using quillmere::testing::TempDir;

namespace {

std::set<std::string> pathsOf(const std::vector<MediaFile>& files) {
    std::set<std::string> paths;
    for (const auto& file : files)
        paths.insert(file.path);
    return paths;
}

// Collects progress reports from any thread.
struct Recorder {
    std::mutex mutex;
    std::vector<ScanPhase> phases;
    ScanProgress callback() {
        return [this](const ScanPhase& phase) {
            std::lock_guard lock(mutex);
            phases.push_back(phase);
        };
    }
    template <typename Phase> std::vector<Phase> all() {
        std::vector<Phase> found;
        for (const auto& phase : phases)
            if (const auto* p = std::get_if<Phase>(&phase))
                found.push_back(*p);
        return found;
    }
};

class FakeCloud final : public CloudStatus {
  public:
    std::map<std::string, CloudAttributes> files;
    std::optional<CloudAttributes> attributes(const std::string& path) const override {
        const auto found = files.find(path);
        return found == files.end() ? CloudAttributes{} : found->second;
    }
};

ScanResult scanOf(std::vector<std::string> roots, ScanProgress progress = {}) {
    return DuplicateScanner(ScanConfig{std::move(roots), {}}, std::move(progress)).scan();
}

} // namespace

TEST(MediaEnumerationTest, KeepsNonEmptyMediaFilesOnly) {
    TempDir dir;
    dir.write("a.jpg", "1");
    dir.write("sub/b.PNG", "22");
    dir.write("sub/deeper/c.mov", "333");
    dir.write("empty.jpg", "");
    dir.write("notes.txt", "text");
    dir.write("._a.jpg", "meta");
    dir.write(".thumbnail.jpg", "4444");
    const auto files = DuplicateScanner(ScanConfig{{dir.path()}, {}}).enumerateMedia();
    EXPECT_EQ(pathsOf(files),
              (std::set<std::string>{dir.path("a.jpg"), dir.path("sub/b.PNG"),
                                     dir.path("sub/deeper/c.mov"), dir.path(".thumbnail.jpg")}));
    const auto video = std::find_if(files.begin(), files.end(), [](const MediaFile& file) {
        return file.kind == MediaKind::video;
    });
    ASSERT_NE(video, files.end());
    EXPECT_EQ(*video, (MediaFile{dir.path("sub/deeper/c.mov"), 3, MediaKind::video}));
}

TEST(MediaEnumerationTest, NeverEntersPrunedFolders) {
    TempDir dir;
    dir.write("keep/a.jpg", "1");
    for (const char* folder : {"x/_duplicates_review", "Family.PHOTOSLIBRARY", ".thumbnails",
                               "node_modules", "y/My.lrlibrary"})
        dir.write(std::string(folder) + "/hidden.jpg", "1");
    EXPECT_EQ(pathsOf(DuplicateScanner(ScanConfig{{dir.path()}, {}}).enumerateMedia()),
              (std::set<std::string>{dir.path("keep/a.jpg")}));
}

TEST(MediaEnumerationTest, SymbolicLinksAreNeverFollowedButALinkedRootIsWalked) {
    TempDir dir;
    dir.write("real/a.jpg", "1");
    std::filesystem::create_symlink(dir.path("real/a.jpg"), dir.path("real/link.jpg"));
    std::filesystem::create_symlink(dir.path("real"), dir.path("real/folderlink"));
    std::filesystem::create_symlink(dir.path("real"), dir.path("rootlink"));
    EXPECT_EQ(pathsOf(DuplicateScanner(ScanConfig{{dir.path("real")}, {}}).enumerateMedia()),
              (std::set<std::string>{dir.path("real/a.jpg")}));
    EXPECT_EQ(pathsOf(DuplicateScanner(ScanConfig{{dir.path("rootlink")}, {}}).enumerateMedia()),
              (std::set<std::string>{dir.path("rootlink/a.jpg")}));
}

TEST(MediaEnumerationTest, MissingRootsAndIncludesContributeNothing) {
    TempDir dir;
    dir.write("A/Photos/a.jpg", "1");
    dir.mkdir("B");
    const auto files =
        DuplicateScanner(ScanConfig{{dir.path("A"), dir.path("B"), dir.path("none")}, {"Photos"}})
            .enumerateMedia();
    EXPECT_EQ(pathsOf(files), (std::set<std::string>{dir.path("A/Photos/a.jpg")}));
}

TEST(MediaEnumerationTest, CloudPlaceholdersAreCountedNotListed) {
    TempDir dir;
    FakeCloud cloud;
    cloud.files[dir.write("current.mov", "1")] = {true, true};
    cloud.files[dir.write("remote.mov", "1")] = {true, false};
    cloud.files[dir.write("nostatus.mov", "1")] = {true, std::nullopt};
    dir.write("local.mov", "1");
    const auto result = DuplicateScanner(ScanConfig{{dir.path()}, {}}, {}, &cloud).scan();
    EXPECT_EQ(result.filesScanned, 2);
    EXPECT_EQ(result.notDownloadedFiles, 2);
}

TEST(MediaEnumerationTest, ReportsEvery4000VisitedEntriesAndAtTheEnd) {
    TempDir dir;
    for (int folder = 0; folder < 8; ++folder) {
        dir.mkdir("f" + std::to_string(folder));
        for (int i = 0; i < 999; ++i)
            dir.write("f" + std::to_string(folder) + "/" + std::to_string(i) +
                          (i % 2 ? ".jpg" : ".txt"),
                      "x");
    }
    Recorder recorder;
    const auto files =
        DuplicateScanner(ScanConfig{{dir.path()}, {}}, recorder.callback()).enumerateMedia();
    const auto reports = recorder.all<scanphase::Enumerating>();
    ASSERT_EQ(reports.size(), 3u); // 8000 entries: the 4000th, the 8000th and the final one
    EXPECT_EQ(reports.back().filesFound, static_cast<std::int64_t>(files.size()));
    EXPECT_LE(reports[0].filesFound, reports[1].filesFound);

    TempDir small;
    small.write("a.jpg", "1");
    Recorder few;
    DuplicateScanner(ScanConfig{{small.path()}, {}}, few.callback()).enumerateMedia();
    EXPECT_EQ(few.phases, (std::vector<ScanPhase>{scanphase::Enumerating{1}}));
}

TEST(MediaEnumerationTest, PathsThatAreNotUtf8AreCountedAndPassedOver) {
    TempDir dir;
    const std::string content = randomBytes(100, 1);
    dir.write("good.jpg", content);
    dir.write("bad\xff\xfe.jpg", content);
    const auto result = scanOf({dir.path()});
    EXPECT_EQ(result.filesScanned, 1);
    EXPECT_EQ(result.invalidNameFiles, 1);
    EXPECT_TRUE(result.groups.empty());
}

TEST(DuplicateScannerTest, EmptyTreeReportsEnumerationAndGroupingOnly) {
    TempDir dir;
    Recorder recorder;
    const auto result = scanOf({dir.path()}, recorder.callback());
    EXPECT_EQ(result.filesScanned, 0);
    EXPECT_TRUE(result.groups.empty());
    EXPECT_EQ(recorder.phases,
              (std::vector<ScanPhase>{scanphase::Enumerating{0}, scanphase::Grouping{}}));
    EXPECT_EQ(result.roots, std::vector<std::string>{dir.path()});
}

TEST(DuplicateScannerTest, FindsIdenticalFilesAndDropsDifferentSignaturesSilently) {
    TempDir dir;
    const std::string content = randomBytes(1'000'000, 1);
    std::string other = content;
    other[0] ^= 1;
    dir.write("a/IMG_1.jpg", content);
    dir.write("b/IMG_1 copy.jpg", content);
    dir.write("c/IMG_2.jpg", other);
    const auto result = scanOf({dir.path()});
    EXPECT_EQ(result.filesScanned, 3);
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(
        result.groups[0],
        (DuplicateGroup{
            MediaKind::photo, 1'000'000, dir.path("a/IMG_1.jpg"), {dir.path("b/IMG_1 copy.jpg")}}));
    EXPECT_EQ(result.groups[0].count(), 2);
    EXPECT_EQ(result.reclaimableBytes(), 1'000'000);
    EXPECT_EQ(result.unreadableFiles, 0);
    EXPECT_EQ(result.filesRejectedByVerification, 0);
}

TEST(DuplicateScannerTest, FilesDifferingOnlyInTheMiddleAreRejectedByVerification) {
    TempDir dir;
    const std::string content = randomBytes(10'000'000, 2);
    std::string middle = content;
    middle[5'000'000] ^= 1;
    dir.write("a.mov", content);
    dir.write("b.mov", middle);
    auto result = scanOf({dir.path()});
    EXPECT_TRUE(result.groups.empty());
    EXPECT_EQ(result.filesRejectedByVerification, 2);

    dir.write("a copy.mov", content);
    result = scanOf({dir.path()});
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(result.groups[0].keep, dir.path("a.mov"));
    EXPECT_EQ(result.filesRejectedByVerification, 1);
}

TEST(DuplicateScannerTest, FileDeletedBeforeHashingIsUnreadable) {
    TempDir dir;
    const std::string content = randomBytes(5000, 3);
    dir.write("a.jpg", content);
    dir.write("b.jpg", content);
    const auto doomed = dir.write("c.jpg", content);
    const auto result = scanOf({dir.path()}, [&](const ScanPhase& phase) {
        if (std::holds_alternative<scanphase::Enumerating>(phase))
            ::unlink(doomed.c_str());
    });
    EXPECT_EQ(result.unreadableFiles, 1);
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(result.groups[0].count(), 2);
}

TEST(DuplicateScannerTest, GroupsAreOrderedByReclaimableBytesThenKeepPath) {
    TempDir dir;
    const auto big = randomBytes(2'500'000, 4);
    const auto alsoBig = randomBytes(2'500'000, 5);
    const auto medium = randomBytes(3'000'000, 6);
    for (const char* name : {"z/big.jpg", "z/big (1).jpg", "z/big (2).jpg"})
        dir.write(name, big);
    for (const char* name : {"m/alsoBig.jpg", "m/alsoBig 2.jpg", "m/alsoBig 3.jpg"})
        dir.write(name, alsoBig);
    dir.write("a/medium.mov", medium);
    dir.write("a/medium copy.mov", medium);
    dir.write("a/single.jpg", randomBytes(3'000'000, 7));

    const auto result = scanOf({dir.path()});
    ASSERT_EQ(result.groups.size(), 3u);
    EXPECT_EQ(result.groups[0].keep, dir.path("m/alsoBig.jpg"));
    EXPECT_EQ(result.groups[1].keep, dir.path("z/big.jpg"));
    EXPECT_EQ(result.groups[1].remove,
              (std::vector<std::string>{dir.path("z/big (1).jpg"), dir.path("z/big (2).jpg")}));
    EXPECT_EQ(result.groups[1].reclaimableBytes(), 5'000'000);
    EXPECT_EQ(result.groups[2].kind, MediaKind::video);
    EXPECT_EQ(result.groups[2].reclaimableBytes(), 3'000'000);
    EXPECT_EQ(result.redundantFileCount(), 5);
    EXPECT_EQ(result.groupsOf(MediaKind::video).size(), 1u);
    EXPECT_EQ(result.reclaimableBytesOf(MediaKind::photo), 10'000'000);
}

TEST(DuplicateScannerTest, HashingProgressIsReportedEveryStepAndEndsComplete) {
    TempDir dir;
    // 250 candidates in 125 pairs: a report every 2 items plus the final one.
    for (int i = 0; i < 125; ++i) {
        const auto content = randomBytes(64, static_cast<std::uint32_t>(i));
        dir.write("a/" + std::to_string(i) + ".jpg", content);
        dir.write("b/" + std::to_string(i) + ".jpg", content);
    }
    Recorder recorder;
    const auto result = scanOf({dir.path()}, recorder.callback());
    EXPECT_EQ(result.groups.size(), 125u);
    auto hashing = recorder.all<scanphase::Hashing>();
    EXPECT_EQ(hashing.size(), 126u);
    EXPECT_EQ(hashing.back(), (scanphase::Hashing{250, 250}));
    std::set<std::int64_t> done;
    for (const auto& report : hashing)
        done.insert(report.done);
    EXPECT_EQ(done.size(), 125u);
    EXPECT_TRUE(std::all_of(done.begin(), done.end(), [](auto d) { return d % 2 == 0; }));
    EXPECT_EQ(recorder.all<scanphase::Verifying>().back(), (scanphase::Verifying{125, 125}));
    // Grouping comes after the final hashing report, verifying after grouping.
    const auto grouping =
        std::find(recorder.phases.begin(), recorder.phases.end(), ScanPhase{scanphase::Grouping{}});
    ASSERT_NE(grouping, recorder.phases.end());
    EXPECT_TRUE(std::holds_alternative<scanphase::Hashing>(*(grouping - 1)));
    EXPECT_TRUE(std::holds_alternative<scanphase::Verifying>(*(grouping + 1)));
}

TEST(DuplicateScannerTest, OneFileReachedByTwoPathsIsNeverItsOwnDuplicate) {
    TempDir dir;
    const auto content = randomBytes(4096, 8);
    dir.write("root/inner/a.jpg", content);
    // A folder given twice, a root nested in another and a root reached through a link.
    EXPECT_TRUE(scanOf({dir.path("root"), dir.path("root")}).groups.empty());
    EXPECT_TRUE(scanOf({dir.path("root"), dir.path("root/inner")}).groups.empty());
    std::filesystem::create_symlink(dir.path("root"), dir.path("link"));
    auto result = scanOf({dir.path("root"), dir.path("link")});
    EXPECT_TRUE(result.groups.empty());
    EXPECT_EQ(result.filesScanned, 2);
    // A hard link is the same file under another name.
    std::filesystem::create_hard_link(dir.path("root/inner/a.jpg"), dir.path("root/hard.jpg"));
    EXPECT_TRUE(scanOf({dir.path("root")}).groups.empty());
    // A real copy still makes a group, found once.
    dir.write("root/copy.jpg", content);
    result = scanOf({dir.path("root"), dir.path("root/inner")});
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(result.groups[0].count(), 2);
}

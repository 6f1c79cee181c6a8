// The scan on fixture trees: which file of a group stays, the signature and the byte comparison,
// the walk and what it passes over, and the whole pipeline.
#include "scan/DuplicateScanner.h"

#include "TempDir.h"
#include "scan/KeepSelector.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

namespace quillmere {
namespace {

using testing::randomBytes;
using testing::TempDir;

// While set, readdir reports no entry types, as some network and FUSE file systems do, so that
// the walk must ask for each entry's type itself.
std::atomic<bool> entryTypesUnknown = false;

ScanResult scanOf(std::vector<std::string> roots, ScanProgress progress = {}) {
    return DuplicateScanner(ScanConfig{std::move(roots), {}}, std::move(progress)).scan();
}

TEST(KeepSelectorTest, CopiesLoseThenDatesThenLongerNamesAndPathsWhateverTheOrder) {
    for (auto [paths, keep] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"/a/IMG_1.JPG", "/b/IMG_1 copy.JPG", "/a/IMG_1 (1).JPG", "/a/1_IMG_1.JPG"},
              "/a/IMG_1.JPG"},
             {{"/a/IMG_1.JPG", "/a/IMG_1 2.JPG", "/a/IMG_1-2.JPG"}, "/a/IMG_1.JPG"},
             {{"/p/20230115_143022.jpg", "/p/IMG_0042 - Rome at night.jpg"},
              "/p/20230115_143022.jpg"},
             {{"/a/cafe\xCC\x81.jpg", "/a/cafes.jpg"}, "/a/cafes.jpg"}, // characters, not bytes
             {{"/Photos/2023/IMG_1.JPG", "/Import/IMG_1.JPG"}, "/Photos/2023/IMG_1.JPG"}}) {
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(KeepSelector::chooseKeep(paths), keep);
        std::reverse(paths.begin(), paths.end());
        EXPECT_EQ(KeepSelector::chooseKeep(paths), keep);
    }
}

TEST(ContentSignatureTest, SignsWholeOrByHeadAndTailAndComparesEveryByte) {
    TempDir dir;
    const auto abc = dir.write("abc", "abc");
    EXPECT_EQ(ContentSignature::compute(abc, 3),
              "851ca7a5e2d4bce908ced2c566ce1ef6f1cc1921fcb4c270353cbc81f2e3b59c");
    EXPECT_NE(ContentSignature::compute(abc, 2), ContentSignature::compute(abc, 3));
    // Above 256 KiB only the first and last 128 KiB are signed: a change between them is left to
    // the full comparison, one in the last byte is not. A shrunk file has no signature.
    std::string large = randomBytes(262145, 1);
    const auto signature = ContentSignature::compute(dir.write("original", large), 262145);
    large[131072] ^= 1;
    EXPECT_EQ(ContentSignature::compute(dir.write("middle", large), 262145), signature);
    large[262144] ^= 1;
    EXPECT_NE(ContentSignature::compute(dir.write("last", large), 262145), signature);
    EXPECT_EQ(ContentSignature::compute(dir.path("original"), 400000), std::nullopt);

    // The comparison reads both files to their ends, across many blocks.
    std::string content = randomBytes(3 * 1048576 + 17, 3);
    const auto a = dir.write("a", content);
    EXPECT_TRUE(ContentSignature::verifyIdentical(a, dir.write("copy", content)));
    const auto longer = dir.write("longer", content + "x");
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, longer));
    EXPECT_FALSE(ContentSignature::verifyIdentical(longer, a));
    content[content.size() / 2] ^= 1;
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, dir.write("changed", content)));
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, dir.path("missing")));
}

TEST(MediaEnumerationTest, ListsNonEmptyMediaAndNeverFollowsLinksOrEntersPassedOverFolders) {
    TempDir dir;
    for (const char* skipped :
         {"notes.txt", "holiday.jpg.zip", "noextension", "._a.jpg", "x/_duplicates_review/h.jpg",
          "Family.PHOTOSLIBRARY/h.jpg", ".thumbnails/h.jpg", "node_modules/h.jpg",
          "System Volume Information/h.jpg", "y/My.lrlibrary/h.jpg", "y.jpg/file"})
        dir.write("tree/" + std::string(skipped), "1");
    dir.write("tree/empty.jpg", "");
    dir.write("tree/a.jpg", "1");
    dir.write("tree/sub/b.HEIC", "22");
    dir.write("tree/sub/c.M2TS", "333");
    dir.write("tree/.hidden.jpg", "4444");
    std::filesystem::create_symlink(dir.path("tree/a.jpg"), dir.path("tree/link.jpg"));
    std::filesystem::create_symlink(dir.path("tree/sub"), dir.path("tree/folderlink"));
    std::filesystem::create_symlink(dir.path("tree"), dir.path("rootlink"));

    // A root given as a link is walked; a missing root adds nothing.
    for (const auto& [root, typesUnknown] :
         {std::pair{std::string("tree"), false}, {"tree", true}, {"rootlink", false}}) {
        entryTypesUnknown = typesUnknown;
        auto files =
            DuplicateScanner(ScanConfig{{dir.path(root), dir.path("none")}, {}}).enumerateMedia();
        entryTypesUnknown = false;
        std::sort(files.begin(), files.end(), [](auto& a, auto& b) { return a.path < b.path; });
        const auto in = [&](const char* name) { return dir.path(root + "/" + name); };
        EXPECT_EQ(files, (std::vector<MediaFile>{{in(".hidden.jpg"), 4, MediaKind::photo},
                                                 {in("a.jpg"), 1, MediaKind::photo},
                                                 {in("sub/b.HEIC"), 2, MediaKind::photo},
                                                 {in("sub/c.M2TS"), 3, MediaKind::video}}));
    }
    EXPECT_EQ((ScanConfig{{"/A", "/B/"}, {"Photos", "x/y"}}).scanRoots(),
              (std::vector<std::string>{"/A/Photos", "/A/x/y", "/B/Photos", "/B/x/y"}));
}

TEST(DuplicateScannerTest, GroupsByteIdenticalFilesLargestReclaimableFirst) {
    TempDir dir;
    const std::string large = randomBytes(1'000'000, 4);
    std::string other = large;
    other[0] ^= 1;
    dir.write("a/IMG_1.jpg", large);
    dir.write("b/IMG_1 copy.jpg", large);
    dir.write("c/IMG_2.jpg", other); // another signature
    // Same size, head and tail, different in the middle: only the full comparison parts them.
    std::string middle = large.substr(0, 600'000);
    dir.write("d/x.mov", middle);
    dir.write("d/x copy.mov", middle);
    middle[300'000] ^= 1;
    dir.write("d/y.mov", middle);
    for (const char* name : {"z/big.jpg", "z/big (1).jpg", "z/big (2).jpg"})
        dir.write(name, std::string(2500, 'b'));
    dir.write("v/medium.mov", std::string(3000, 'v'));
    dir.write("v/medium copy.mov", std::string(3000, 'v'));

    const auto result = scanOf({dir.path()});
    EXPECT_EQ(result.filesScanned, 11);
    EXPECT_EQ(result.filesRejectedByVerification, 1);
    EXPECT_EQ(result.unreadableFiles, 0);
    const auto group = [&](MediaKind kind, std::int64_t size, std::vector<std::string> paths) {
        for (auto& path : paths)
            path = dir.path(path);
        return DuplicateGroup{kind, size, paths[0], {paths.begin() + 1, paths.end()}};
    };
    EXPECT_EQ(result.groups,
              (std::vector<DuplicateGroup>{
                  group(MediaKind::photo, 1'000'000, {"a/IMG_1.jpg", "b/IMG_1 copy.jpg"}),
                  group(MediaKind::video, 600'000, {"d/x.mov", "d/x copy.mov"}),
                  group(MediaKind::photo, 2500, {"z/big.jpg", "z/big (1).jpg", "z/big (2).jpg"}),
                  group(MediaKind::video, 3000, {"v/medium.mov", "v/medium copy.mov"})}));
}

TEST(DuplicateScannerTest, ProgressCoversEachStageInOrderAndEndsComplete) {
    TempDir dir;
    std::mutex mutex;
    std::vector<ScanPhase> phases;
    const auto record = [&](const ScanPhase& phase) {
        std::lock_guard lock(mutex);
        phases.push_back(phase);
    };
    // A file whose size no other file has is never read.
    dir.write("one.jpg", "x");
    scanOf({dir.path()}, record);
    EXPECT_EQ(phases, (std::vector<ScanPhase>{scanphase::Enumerating{1}, scanphase::Grouping{}}));
    for (int i = 0; i < 250; ++i)
        dir.write(std::to_string(i) + ".jpg", randomBytes(64, std::uint32_t(i / 2)));
    phases.clear();
    EXPECT_EQ(scanOf({dir.path()}, record).groups.size(), 125u);
    const auto grouping = std::find(phases.begin(), phases.end(), ScanPhase{scanphase::Grouping{}});
    ASSERT_NE(grouping, phases.end());
    EXPECT_EQ(*(grouping - 1), (ScanPhase{scanphase::Hashing{250, 250}}));
    EXPECT_EQ(phases.back(), (ScanPhase{scanphase::Verifying{125, 125}}));
}

TEST(DuplicateScannerTest, OneFileReachedByTwoPathsIsNeverItsOwnDuplicate) {
    TempDir dir;
    dir.write("root/inner/a.jpg", randomBytes(4096, 7));
    std::filesystem::create_symlink(dir.path("root"), dir.path("link"));
    std::filesystem::create_hard_link(dir.path("root/inner/a.jpg"), dir.path("root/hard.jpg"));
    // A folder given twice, a root nested in another, a root reached through a link, a hard link.
    for (const auto& second : {"root", "root/inner", "link"})
        EXPECT_TRUE(scanOf({dir.path("root"), dir.path(second)}).groups.empty()) << second;
}

// Once asked to stop, a scan takes on no further file and compares nothing more.
TEST(ScanStopTest, AStoppedScanTakesOnNoFurtherFile) {
    TempDir dir;
    // Large files, each signed on its own, in four identical pairs.
    for (int i = 0; i < 8; ++i)
        dir.write("f" + std::to_string(i) + ".mov", randomBytes(300 * 1024, std::uint32_t(i / 2)));
    const ScanConfig config{{dir.path()}, {}};

    std::stop_source before;
    before.request_stop();
    EXPECT_EQ(DuplicateScanner(config, {}, nullptr, before.get_token()).scan().filesScanned, 0);

    std::stop_source during;
    std::atomic<bool> verified = false;
    const auto progress = [&](const ScanPhase& phase) {
        if (std::holds_alternative<scanphase::Hashing>(phase))
            during.request_stop();
        verified = verified || std::holds_alternative<scanphase::Verifying>(phase);
    };
    EXPECT_TRUE(
        DuplicateScanner(config, progress, nullptr, during.get_token()).scan().groups.empty());
    EXPECT_FALSE(verified);

    EXPECT_EQ(DuplicateScanner(config).scan().groups.size(), 4u);
}

} // namespace
} // namespace quillmere

// The C library's readdir, interposed for this test program to take the types away on request.
extern "C" dirent* readdir(DIR* directory) {
    static const auto next = reinterpret_cast<dirent* (*)(DIR*)>(::dlsym(RTLD_NEXT, "readdir"));
    dirent* entry = next(directory);
    if (entry && quillmere::entryTypesUnknown)
        entry->d_type = DT_UNKNOWN;
    return entry;
}

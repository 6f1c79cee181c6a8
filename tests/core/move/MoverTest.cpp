// The set-aside mover and the undo, on real files: every check before a move, the review folder
// layout, the manifests, and that nothing is ever lost, replaced or moved where it may not go.
#include "move/Mover.h"

#include "Error.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "scan/ScanResult.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::TempDir;
using quillmere::testing::TmpfsMount;
namespace fs = std::filesystem;

namespace {

constexpr const char* review = "_duplicates_review";

// The path with every link resolved: the form in which the mover reports roots and destinations.
std::string real(const std::string& path) {
    return fs::weakly_canonical(path).string();
}

DuplicateGroup group(std::string keep, std::vector<std::string> remove, std::int64_t size) {
    return {MediaKind::photo, size, std::move(keep), std::move(remove)};
}

// Every regular file and link under `root` with its content (a link's target), so that a test
// can show that nothing was lost or changed.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto relative = fs::relative(entry.path(), root).string();
        if (entry.is_symlink())
            files[relative] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            files[relative] = readFile(entry.path().string());
    }
    return files;
}

std::vector<std::string> manifestNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("_quillmere_manifest_"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string reasonsOf(const std::vector<SkippedMove>& skipped) {
    std::string text;
    for (const auto& entry : skipped)
        text += entry.path + " | " + entry.reason + "\n";
    return text;
}

// Sets TZ for one test, so that the local stamp in manifest names is known.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

std::string writeFile(const std::string& path, const std::string& contents) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

} // namespace

TEST(MoverTest, MovesEachRemoveFileIntoTheReviewFolderAndRecordsIt) {
    TempDir dir;
    const auto content = randomBytes(300000, 1);
    const auto other = randomBytes(1000, 2);
    const auto keep = dir.write("root/keep/x.jpg", content);
    const auto copy1 = dir.write("root/2024/x.jpg", content);
    const auto copy2 = dir.write("root/deep/er/y.jpg", content);
    const auto keep2 = dir.write("root/k.mov", other);
    const auto copy3 = dir.write("root/notes", other);

    std::vector<MoveProgress> updates;
    Mover mover({dir.path("root")}, review, [&](const MoveProgress& p) { updates.push_back(p); });
    const auto outcome =
        mover.move({group(keep, {copy1, copy2}, 300000), group(keep2, {copy3}, 1000)});

    const auto reviewFolder = real(dir.path("root")) + "/_duplicates_review";
    const std::vector<MoveRecord> expected = {
        {copy1, reviewFolder + "/2024/x.jpg", 300000, keep},
        {copy2, reviewFolder + "/deep/er/y.jpg", 300000, keep},
        {copy3, reviewFolder + "/notes", 1000, keep2}};
    EXPECT_EQ(outcome.moved, expected);
    EXPECT_TRUE(outcome.skipped.empty()) << reasonsOf(outcome.skipped);
    EXPECT_FALSE(outcome.interrupted);
    EXPECT_EQ(outcome.bytesMoved(), 601000);
    for (const auto& record : expected) {
        EXPECT_FALSE(fs::exists(record.from));
        EXPECT_EQ(readFile(record.to), readFile(record.verifiedAgainst));
    }
    EXPECT_EQ(readFile(keep), content);
    EXPECT_EQ(readFile(keep2), other);

    using moveprogress::Moving, moveprogress::Verifying;
    const std::vector<MoveProgress> expectedUpdates = {
        Verifying{0, 3}, Moving{0, 3}, Verifying{1, 3}, Moving{1, 3},
        Verifying{2, 3}, Moving{2, 3}, Moving{3, 3}};
    EXPECT_EQ(updates, expectedUpdates);

    ASSERT_EQ(outcome.manifestURLs.size(), 1u);
    EXPECT_EQ(outcome.manifestURL(), outcome.manifestURLs[0]);
    const auto manifest = Mover::readManifest(outcome.manifestURLs[0]);
    EXPECT_EQ(manifest.root, real(dir.path("root")));
    EXPECT_EQ(manifest.records, expected);
    EXPECT_EQ(fs::path(outcome.manifestURLs[0]).parent_path(), reviewFolder);
}

TEST(MoverTest, ManifestIsNamedAfterTheLocalTimeOfWriting) {
    ZoneGuard zone("ABC-05:30");
    TempDir dir;
    const auto keep = dir.write("root/a.jpg", "same");
    const auto copy = dir.write("root/b.jpg", "same");
    const auto before = std::chrono::system_clock::now();
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});
    const auto after = std::chrono::system_clock::now();
    ASSERT_EQ(outcome.manifestURLs.size(), 1u);
    const auto name = fs::path(outcome.manifestURLs[0]).filename().string();

    // The name's stamp is local time (UTC+05:30 here); createdAt is the same instant in UTC.
    const auto createdAt = Mover::readManifest(outcome.manifestURLs[0]).createdAt;
    EXPECT_LE(std::chrono::floor<std::chrono::seconds>(before), createdAt);
    EXPECT_LE(createdAt, after);
    const std::time_t shifted = std::chrono::system_clock::to_time_t(createdAt) + 5 * 3600 + 1800;
    std::tm local{};
    gmtime_r(&shifted, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    EXPECT_EQ(name, "_quillmere_manifest_" + std::string(stamp) + ".json");
}

TEST(MoverTest, NothingToMoveGivesOneProgressUpdateAndNoManifest) {
    TempDir dir;
    const auto keep = dir.write("root/a.jpg", "a");
    std::vector<MoveProgress> updates;
    Mover mover({dir.path("root")}, review, [&](const MoveProgress& p) { updates.push_back(p); });
    const auto outcome = mover.move({group(keep, {}, 1), group(keep, {}, 1)});
    EXPECT_TRUE(outcome.moved.empty());
    EXPECT_TRUE(outcome.skipped.empty());
    EXPECT_TRUE(outcome.manifestURLs.empty());
    EXPECT_EQ(outcome.manifestURL(), std::nullopt);
    EXPECT_EQ(outcome.bytesMoved(), 0);
    EXPECT_EQ(updates, (std::vector<MoveProgress>{moveprogress::Moving{0, 0}}));
    EXPECT_FALSE(fs::exists(dir.path("root/_duplicates_review")));
}

TEST(MoverTest, FilesFailingTheLastChecksStayWhereTheyAreWithTheirReasons) {
    TempDir dir;
    const auto content = randomBytes(5000, 3);
    const auto keep = dir.write("root/keep.jpg", content);
    const auto gone = dir.path("root/gone.jpg");
    auto edited = content;
    edited[4999] ^= 1;
    const auto changed = dir.write("root/changed.jpg", edited);
    const auto longer = dir.write("root/longer.jpg", content + "x");
    const auto outside = dir.write("elsewhere/o.jpg", content);
    const auto prefixTwin = dir.write("rootbis/p.jpg", content);
    const auto twice = dir.write("root/twice.jpg", content);
    const auto missingKeep = dir.path("root/missing-keep.jpg");
    const auto orphan1 = dir.write("root/o1.jpg", content);
    const auto orphan2 = dir.write("root/o2.jpg", content);
    const auto before = snapshot(dir.path());

    Mover mover({dir.path("root")}, review);
    const auto outcome =
        mover.move({group(keep, {changed, gone, longer, outside, prefixTwin, twice, twice}, 5000),
                    group(missingKeep, {orphan1, orphan2}, 5000)});

    const std::vector<SkippedMove> expected = {
        {changed, "no longer byte-identical to " + keep},
        {gone, "no longer on disk"},
        {longer, "no longer byte-identical to " + keep},
        {outside, "is outside every scan root"},
        {prefixTwin, "is outside every scan root"},
        {twice, "no longer on disk"},
        {orphan1, "the file it duplicates is missing: " + missingKeep},
        {orphan2, "the file it duplicates is missing: " + missingKeep}};
    EXPECT_EQ(outcome.skipped, expected) << reasonsOf(outcome.skipped);
    ASSERT_EQ(outcome.moved.size(), 1u);
    EXPECT_EQ(outcome.moved[0].from, twice);

    auto after = snapshot(dir.path());
    EXPECT_EQ(after["root/_duplicates_review/twice.jpg"], content);
    after.erase("root/_duplicates_review/twice.jpg");
    after.erase("root/_duplicates_review/" +
                fs::path(outcome.manifestURLs.at(0)).filename().string());
    auto expectedAfter = before;
    expectedAfter.erase("root/twice.jpg");
    EXPECT_EQ(after, expectedAfter);
}

TEST(MoverTest, AFileThatIsItsKeeperUnderAnotherPathIsNeverMoved) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "content");
    const auto hardLink = dir.path("root/hard.jpg");
    fs::create_hard_link(keep, hardLink);
    const auto softLink = dir.path("root/soft.jpg");
    fs::create_symlink(keep, softLink);
    const auto before = snapshot(dir.path());

    const auto outcome =
        Mover({dir.path("root")}, review)
            .move({group(keep, {hardLink, softLink, keep, dir.path("root/./keep.jpg")}, 7)});

    EXPECT_TRUE(outcome.moved.empty());
    ASSERT_EQ(outcome.skipped.size(), 4u);
    for (const auto& skipped : outcome.skipped)
        EXPECT_EQ(skipped.reason, "is the same file as " + keep);
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_TRUE(outcome.manifestURLs.empty());
}

TEST(MoverTest, NestedRootsSendAFileToTheMostSpecificRoot) {
    TempDir dir;
    const auto keep = dir.write("V/A/keep.jpg", "same");
    const auto inner = dir.write("V/A/B/x.jpg", "same");
    const auto sibling = dir.write("V/A/Bc/x.jpg", "same");
    const auto outer = dir.write("V/A/y.jpg", "same");

    // Given shortest first with a trailing slash; the order of roots must not matter.
    const auto outcome = Mover({dir.path("V/A/"), dir.path("V/A/B")}, review)
                             .move({group(keep, {inner, outer, sibling}, 4)});

    ASSERT_EQ(outcome.moved.size(), 3u) << reasonsOf(outcome.skipped);
    const auto a = real(dir.path("V/A"));
    EXPECT_EQ(outcome.moved[0].to, a + "/B/_duplicates_review/x.jpg");
    EXPECT_EQ(outcome.moved[1].to, a + "/_duplicates_review/y.jpg");
    EXPECT_EQ(outcome.moved[2].to, a + "/_duplicates_review/Bc/x.jpg");
    ASSERT_EQ(outcome.manifestURLs.size(), 2u);
    std::map<std::string, std::vector<MoveRecord>> byRoot;
    for (const auto& url : outcome.manifestURLs) {
        const auto manifest = Mover::readManifest(url);
        EXPECT_EQ(fs::path(url).parent_path(), fs::path(manifest.root) / review);
        byRoot[manifest.root] = manifest.records;
    }
    EXPECT_EQ(byRoot[a + "/B"], std::vector<MoveRecord>{outcome.moved[0]});
    EXPECT_EQ(byRoot[a], (std::vector<MoveRecord>{outcome.moved[1], outcome.moved[2]}));
}

TEST(MoverTest, RootGivenThroughALinkIsMatchedInResolvedForm) {
    TempDir dir;
    dir.mkdir("real/photos");
    fs::create_directory_symlink(dir.path("real/photos"), dir.path("link"));
    const auto keep = dir.write("real/photos/a/keep.jpg", "same");
    const auto copy = dir.path("link/b/copy.jpg");
    writeFile(copy, "same");

    const auto outcome =
        Mover({dir.path("link")}, review).move({group(dir.path("link/a/keep.jpg"), {copy}, 4)});

    ASSERT_EQ(outcome.moved.size(), 1u) << reasonsOf(outcome.skipped);
    EXPECT_EQ(outcome.moved[0].from, copy);
    EXPECT_EQ(outcome.moved[0].to,
              real(dir.path("real/photos")) + "/_duplicates_review/b/copy.jpg");
    const auto manifest = Mover::readManifest(outcome.manifestURLs.at(0));
    EXPECT_EQ(manifest.root, real(dir.path("real/photos")));
    EXPECT_EQ(readFile(outcome.moved[0].to), "same");
}

TEST(MoverTest, LaterSetAsidesOfTheSamePathGetNumberedNames) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto keepNotes = dir.write("root/keep-notes", "n");
    std::vector<std::string> destinations;
    for (int run = 0; run < 3; ++run) {
        const auto copy = dir.write("root/2024/IMG_0001.JPG", "same");
        const auto notes = dir.write("root/notes", "n");
        const auto outcome = Mover({dir.path("root")}, review)
                                 .move({group(keep, {copy}, 4), group(keepNotes, {notes}, 1)});
        ASSERT_EQ(outcome.moved.size(), 2u) << reasonsOf(outcome.skipped);
        destinations.push_back(outcome.moved[0].to);
        destinations.push_back(outcome.moved[1].to);
    }
    const auto folder = real(dir.path("root")) + "/_duplicates_review/";
    EXPECT_EQ(destinations,
              (std::vector<std::string>{folder + "2024/IMG_0001.JPG", folder + "notes",
                                        folder + "2024/IMG_0001 (2).JPG", folder + "notes (2)",
                                        folder + "2024/IMG_0001 (3).JPG", folder + "notes (3)"}));
    for (const auto& destination : destinations)
        EXPECT_TRUE(fs::exists(destination));
}

TEST(MoverTest, ADestinationAppearingJustBeforeTheMoveIsNotReplaced) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy = dir.write("root/a/x.jpg", "same");
    const auto destination = dir.path("root/_duplicates_review/a/x.jpg");
    Mover mover({dir.path("root")}, review, [&](const MoveProgress& update) {
        if (std::holds_alternative<moveprogress::Moving>(update) && !fs::exists(destination))
            writeFile(destination, "someone else's file");
    });
    const auto outcome = mover.move({group(keep, {copy}, 4)});

    ASSERT_EQ(outcome.moved.size(), 1u) << reasonsOf(outcome.skipped);
    EXPECT_EQ(outcome.moved[0].to, real(dir.path("root")) + "/_duplicates_review/a/x (2).jpg");
    EXPECT_EQ(readFile(destination), "someone else's file");
    EXPECT_EQ(readFile(outcome.moved[0].to), "same");
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs.at(0)).records, outcome.moved);
}

TEST(MoverTest, AMoveAcrossFileSystemsIsRefusedNotCopied) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    TmpfsMount mount(dir.path("root/card"), "size=1m");
    if (!mount.mounted())
        GTEST_SKIP() << mount.why();
    const auto copy = writeFile(dir.path("root/card/x.jpg"), "same");

    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});

    EXPECT_TRUE(outcome.moved.empty());
    EXPECT_EQ(outcome.skipped,
              (std::vector<SkippedMove>{{copy, "move failed: Invalid cross-device link"}}));
    EXPECT_EQ(readFile(copy), "same");
    EXPECT_FALSE(fs::exists(dir.path("root/_duplicates_review/card/x.jpg")));
    EXPECT_TRUE(outcome.manifestURLs.empty());
}

TEST(MoverTest, AFolderThatCannotBeCreatedSkipsTheFile) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy = dir.write("root/sub/x.jpg", "same");
    dir.write("root/_duplicates_review/sub", "a file where a folder would go");
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});
    ASSERT_EQ(outcome.skipped.size(), 1u);
    EXPECT_EQ(outcome.skipped[0].reason, "move failed: " + real(dir.path("root")) +
                                             "/_duplicates_review/sub: Not a directory");
    EXPECT_EQ(readFile(copy), "same");
}

TEST(MoverTest, APathThatCannotBeRecordedIsNotMoved) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy = dir.write("root/\xff\xfe.jpg", "same");
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});
    EXPECT_EQ(outcome.skipped, (std::vector<SkippedMove>{
                                   {copy, "cannot be recorded: the path is not valid UTF-8"}}));
    EXPECT_EQ(readFile(copy), "same");
    EXPECT_TRUE(outcome.manifestURLs.empty());
}

TEST(MoverTest, StopEndsTheRunAfterTheFileInHandAndKeepsTheManifest) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    std::vector<std::string> copies;
    for (int i = 0; i < 5; ++i)
        copies.push_back(dir.write("root/c" + std::to_string(i) + ".jpg", "same"));
    std::atomic<bool> stop = false;
    std::vector<MoveProgress> updates;
    Mover mover({dir.path("root")}, review, [&](const MoveProgress& update) {
        updates.push_back(update);
        if (update == MoveProgress{moveprogress::Moving{1, 5}})
            stop = true;
    });
    const auto outcome = mover.move({group(keep, copies, 4)}, &stop);

    EXPECT_TRUE(outcome.interrupted);
    ASSERT_EQ(outcome.moved.size(), 2u);
    EXPECT_EQ(outcome.moved[0].from, copies[0]);
    EXPECT_EQ(outcome.moved[1].from, copies[1]);
    EXPECT_TRUE(outcome.skipped.empty());
    for (std::size_t i = 2; i < copies.size(); ++i)
        EXPECT_EQ(readFile(copies[i]), "same");
    EXPECT_EQ(updates.back(), (MoveProgress{moveprogress::Moving{2, 5}}));
    ASSERT_EQ(outcome.manifestURLs.size(), 1u);
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[0]).records, outcome.moved);
}

TEST(MoverTest, TwoRootsGiveTwoManifests) {
    TempDir dir;
    const auto keep = dir.write("A/keep.jpg", "same");
    const auto inA = dir.write("A/x.jpg", "same");
    const auto inB = dir.write("B/sub/x.jpg", "same");
    const auto outcome =
        Mover({dir.path("A"), dir.path("B")}, review).move({group(keep, {inA, inB}, 4)});
    ASSERT_EQ(outcome.manifestURLs.size(), 2u);
    EXPECT_EQ(fs::path(outcome.manifestURLs[0]).parent_path(),
              real(dir.path("A/_duplicates_review")));
    EXPECT_EQ(fs::path(outcome.manifestURLs[1]).parent_path(),
              real(dir.path("B/_duplicates_review")));
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[0]).records,
              std::vector<MoveRecord>{outcome.moved[0]});
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[1]).records,
              std::vector<MoveRecord>{outcome.moved[1]});
    EXPECT_EQ(outcome.moved[1].to, real(dir.path("B")) + "/_duplicates_review/sub/x.jpg");
}

TEST(MoverTest, AManifestNeverReplacesAnEarlierOneAndSortsAfterIt) {
    ZoneGuard zone("UTC");
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto folder = dir.mkdir("root/_duplicates_review");
    // Earlier manifests for this second and the next few, taking the plain name and "_2" to "_9",
    // so that the runs below collide whenever they happen and need two-digit suffixes, whose
    // byte order must still follow the order of writing.
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    for (std::time_t second = now - 1; second <= now + 5; ++second) {
        std::tm utc{};
        gmtime_r(&second, &utc);
        char stamp[32];
        strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
        const std::string stem = folder + "/_quillmere_manifest_" + stamp;
        writeFile(stem + ".json", "earlier");
        for (int n = 2; n <= 9; ++n)
            writeFile(stem + "_" + std::to_string(n) + ".json", "earlier");
    }
    const auto earlier = snapshot(folder);

    std::vector<std::string> written;
    for (int run = 0; run < 2; ++run) {
        const auto copy = dir.write("root/copy.jpg", "same");
        const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});
        ASSERT_EQ(outcome.manifestURLs.size(), 1u);
        written.push_back(fs::path(outcome.manifestURLs[0]).filename().string());
        // Readers take the name that sorts last as the newest: it must be this run's among the
        // names of its second.
        const auto& name = written.back();
        const auto stem = name.substr(0, std::string("_quillmere_manifest_yyyyMMdd-HHmmss").size());
        for (const auto& other : manifestNames(folder))
            if (other != name && other.starts_with(stem)) {
                EXPECT_LT(other, name);
            }
        EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[0]).records, outcome.moved);
    }
    EXPECT_NE(written[0], written[1]);
    for (const auto& [name, contents] : earlier)
        EXPECT_EQ(readFile(folder + "/" + name), contents) << name;
    EXPECT_EQ(manifestNames(folder).size(), earlier.size() + 2);
}

TEST(MoverTest, AManifestThatCannotBeWrittenFailsTheRunAfterTheOtherRootsAreRecorded) {
    TempDir dir;
    const auto keep = dir.write("B/keep.jpg", "same");
    TmpfsMount mount(dir.path("A"), "size=64k");
    if (!mount.mounted())
        GTEST_SKIP() << mount.why();
    const auto inA = writeFile(dir.path("A/x.jpg"), "same");
    const auto inB = dir.write("B/x.jpg", "same");
    // After the last move, fill root A's volume so that its manifest cannot be written.
    Mover mover({dir.path("A"), dir.path("B")}, review, [&](const MoveProgress& update) {
        if (update == MoveProgress{moveprogress::Moving{2, 2}})
            writeFile(dir.path("A/filler"), std::string(1 << 20, 'f'));
    });
    try {
        mover.move({group(keep, {inA, inB}, 4)});
        FAIL() << "the run must fail";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_TRUE(message.starts_with("the manifest of " + real(dir.path("A")) +
                                        " could not be written: "))
            << message;
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
    }
    // Without its manifest the move could not be undone, so it was put back.
    EXPECT_EQ(readFile(inA), "same");
    EXPECT_FALSE(fs::exists(dir.path("A/_duplicates_review/x.jpg")));
    const auto names = manifestNames(dir.path("B/_duplicates_review"));
    ASSERT_EQ(names.size(), 1u);
    const auto manifest = Mover::readManifest(dir.path("B/_duplicates_review/") + names[0]);
    ASSERT_EQ(manifest.records.size(), 1u);
    EXPECT_EQ(manifest.records[0].from, inB);
}

TEST(MoverTest, UndoRightAfterASetAsidePutsEveryFileBackUnchanged) {
    TempDir dir;
    const auto big = randomBytes(3'000'000, 7);
    const auto keep = dir.write("root/keep/a.jpg", big);
    const auto copy1 = dir.write("root/x/a.jpg", big);
    const auto copy2 = dir.write("root/y/z/a copy.jpg", big);
    const auto small = dir.write("root/s1.png", "small");
    const auto copy3 = dir.write("root/s2.png", "small");
    const auto before = snapshot(dir.path("root"));

    const auto outcome =
        Mover({dir.path("root")}, review)
            .move({group(keep, {copy1, copy2}, 3'000'000), group(small, {copy3}, 5)});
    ASSERT_EQ(outcome.moved.size(), 3u);
    const auto manifestPath = outcome.manifestURLs.at(0);
    const auto manifestText = readFile(manifestPath);

    const auto undone = Mover::undo(manifestPath);
    EXPECT_EQ(undone.restored, 3);
    EXPECT_TRUE(undone.skipped.empty()) << reasonsOf(undone.skipped);

    auto after = snapshot(dir.path("root"));
    after.erase("_duplicates_review/" + fs::path(manifestPath).filename().string());
    EXPECT_EQ(after, before);
    // The review folder and its subfolders stay, as does the manifest, unchanged.
    EXPECT_TRUE(fs::is_directory(dir.path("root/_duplicates_review/y/z")));
    EXPECT_EQ(readFile(manifestPath), manifestText);

    const auto again = Mover::undo(manifestPath);
    EXPECT_EQ(again.restored, 0);
    ASSERT_EQ(again.skipped.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(again.skipped[i], (SkippedMove{outcome.moved[i].to, "not in the review folder"}));
}

TEST(MoverTest, UndoNeverReplacesWhatIsNowAtTheOriginalPath) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy1 = dir.write("root/new.jpg", "same");
    const auto copy2 = dir.write("root/link.jpg", "same");
    const auto copy3 = dir.write("root/fine.jpg", "same");
    const auto outcome =
        Mover({dir.path("root")}, review).move({group(keep, {copy1, copy2, copy3}, 4)});
    ASSERT_EQ(outcome.moved.size(), 3u);
    dir.write("root/new.jpg", "the user's new file");
    fs::create_symlink(dir.path("nowhere"), copy2);

    const auto undone = Mover::undo(outcome.manifestURLs.at(0));
    EXPECT_EQ(undone.restored, 1);
    EXPECT_EQ(undone.skipped,
              (std::vector<SkippedMove>{
                  {outcome.moved[0].to, "something is already at the original path"},
                  {outcome.moved[1].to, "something is already at the original path"}}));
    EXPECT_EQ(readFile(copy1), "the user's new file");
    EXPECT_EQ(fs::read_symlink(copy2), dir.path("nowhere"));
    EXPECT_EQ(readFile(outcome.moved[0].to), "same");
    EXPECT_EQ(readFile(outcome.moved[1].to), "same");
    EXPECT_EQ(readFile(copy3), "same");
}

TEST(MoverTest, UndoRecreatesARemovedFolderAndSkipsFilesDeletedFromTheReviewFolder) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy1 = dir.write("root/gone/deeper/a.jpg", "same");
    const auto copy2 = dir.write("root/b.jpg", "same");
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy1, copy2}, 4)});
    ASSERT_EQ(outcome.moved.size(), 2u);
    fs::remove_all(dir.path("root/gone"));
    fs::remove(outcome.moved[1].to);

    const auto undone = Mover::undo(outcome.manifestURLs.at(0));
    EXPECT_EQ(undone.restored, 1);
    EXPECT_EQ(undone.skipped,
              (std::vector<SkippedMove>{{outcome.moved[1].to, "not in the review folder"}}));
    EXPECT_EQ(readFile(copy1), "same");
}

TEST(MoverTest, UndoReportsAPlatformFailureAndGoesOn) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy1 = dir.write("root/sub/a.jpg", "same");
    const auto copy2 = dir.write("root/b.jpg", "same");
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy1, copy2}, 4)});
    fs::remove(dir.path("root/sub"));
    dir.write("root/sub", "a file where the folder was");

    const auto undone = Mover::undo(outcome.manifestURLs.at(0));
    EXPECT_EQ(undone.restored, 1);
    ASSERT_EQ(undone.skipped.size(), 1u);
    EXPECT_EQ(undone.skipped[0].path, outcome.moved[0].to);
    EXPECT_TRUE(undone.skipped[0].reason.starts_with("restore failed: "))
        << undone.skipped[0].reason;
    EXPECT_EQ(readFile(outcome.moved[0].to), "same");
    EXPECT_EQ(readFile(copy2), "same");
}

TEST(MoverTest, RestoreRefusesWithTheExpectedReasons) {
    TempDir dir;
    const auto to = dir.write("root/_duplicates_review/a.jpg", "a");
    const auto from = dir.write("root/a.jpg", "other");
    try {
        Mover::restore({from, to, 1, from});
        FAIL();
    } catch (const Mover::RestoreError& error) {
        EXPECT_EQ(error.reason(), "something is already at the original path");
    }
    try {
        Mover::restore({from, dir.path("root/_duplicates_review/missing.jpg"), 1, from});
        FAIL();
    } catch (const Mover::RestoreError& error) {
        EXPECT_EQ(error.reason(), "not in the review folder");
    }
    EXPECT_EQ(readFile(from), "other");
    EXPECT_EQ(readFile(to), "a");
}

TEST(MoverTest, UndoOfAManifestWithoutRecordsDoesNothing) {
    TempDir dir;
    const auto path = dir.write(
        "m.json", R"({"createdAt": "2026-12-05T18:53:13Z", "records": [], "root": "/nowhere"})");
    const auto undone = Mover::undo(path);
    EXPECT_EQ(undone.restored, 0);
    EXPECT_TRUE(undone.skipped.empty());
}

TEST(MoverTest, UndoActsOnlyOnRecordsInsideTheReviewFolderOfTheRoot) {
    TempDir dir;
    const auto root = dir.mkdir("root");
    const auto folder = root + "/_duplicates_review";
    const auto victim = dir.write("victim/passwd", "precious");
    const auto legit = dir.write("root/_duplicates_review/ok.jpg", "ok");
    dir.write("root/_duplicates_review/inner/z.jpg", "z");
    dir.write("outside/escape/e.jpg", "e");
    fs::create_directory_symlink(dir.path("outside/escape"), folder + "/link");
    const auto before = snapshot(dir.path());

    const std::vector<MoveRecord> records = {
        {dir.path("restored/passwd"), victim, 1, ""},
        {dir.path("restored/x"), folder + "/../../victim/passwd", 1, ""},
        {dir.path("restored/x"), folder + "/./inner/z.jpg", 1, ""},
        {"relative/x.jpg", folder + "/inner/z.jpg", 1, ""},
        {dir.path("restored/../x.jpg"), folder + "/inner/z.jpg", 1, ""},
        {dir.path("restored/x"), "_duplicates_review/inner/z.jpg", 1, ""},
        {dir.path("restored/x"), folder, 1, ""},
        {dir.path("restored/x"), root + "/_duplicates_reviewer/z.jpg", 1, ""},
        {dir.path("restored/e.jpg"), folder + "/link/e.jpg", 1, ""},
        {root + "/ok.jpg", legit, 2, ""}};
    MoveManifest manifest{root, std::chrono::system_clock::now(), records};
    const auto path = dir.write("m.json", manifest.encode());

    const auto undone = Mover::undo(path);
    EXPECT_EQ(undone.restored, 1);
    ASSERT_EQ(undone.skipped.size(), records.size() - 1) << reasonsOf(undone.skipped);
    const std::string outside = "refused: not inside the review folder " + folder;
    const std::string badFrom =
        "refused: the original path is not absolute or contains \".\" or \"..\"";
    const std::string badTo =
        "refused: the path in the review folder is not absolute or contains \".\" or \"..\"";
    const std::vector<std::string> reasons = {outside, badTo,   badTo,   badFrom, badFrom,
                                              badTo,   outside, outside, outside};
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        EXPECT_EQ(undone.skipped[i].path, records[i].to);
        EXPECT_EQ(undone.skipped[i].reason, reasons[i]) << i;
    }
    auto after = snapshot(dir.path());
    EXPECT_EQ(after["root/ok.jpg"], "ok");
    after.erase("root/ok.jpg");
    after.erase("m.json");
    auto expected = before;
    expected.erase("root/_duplicates_review/ok.jpg");
    EXPECT_EQ(after, expected);

    // A manifest whose root is not a plain absolute path acts on nothing.
    const auto relativeRoot = dir.write(
        "r.json",
        MoveManifest{"root", {}, {{dir.path("restored/z.jpg"), folder + "/inner/z.jpg", 1, ""}}}
            .encode());
    EXPECT_EQ(Mover::undo(relativeRoot).restored, 0);
    EXPECT_TRUE(fs::exists(folder + "/inner/z.jpg"));
}

TEST(MoverTest, AManifestThatCannotBeReadChangesNothing) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto copy = dir.write("root/a.jpg", "same");
    const auto outcome = Mover({dir.path("root")}, review).move({group(keep, {copy}, 4)});
    const auto good = readFile(outcome.manifestURLs.at(0));
    const auto recordStart = good.find("{", 1);

    std::vector<std::pair<std::string, std::string>> bad = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() / 2)},
        {"missing key",
         std::string(good).replace(good.find("\"verifiedAgainst\""), 17, "\"checkedAgainst\"")},
        {"wrong type",
         std::string(good).replace(good.find("\"root\": \""), 9, "\"root\": 1, \"x\": \"")},
        {"fraction", std::string(good).replace(good.find("Z\""), 1, ".5Z")},
        {"fractional size", std::string(good).replace(good.find(": 4"), 3, ": 4.0")},
        {"invalid UTF-8", std::string(good).insert(recordStart, "\xff")},
        {"not JSON", "root=/x"}};
    const auto before = snapshot(dir.path("root"));
    for (const auto& [what, text] : bad) {
        const auto path = dir.write("bad.json", text);
        EXPECT_THROW(Mover::undo(path), Error) << what;
        EXPECT_THROW(Mover::readManifest(path), Error) << what;
        EXPECT_EQ(snapshot(dir.path("root")), before) << what;
    }

    // Larger than any manifest: refused before reading.
    const auto huge = dir.path("huge.json");
    { std::ofstream(huge) << "{"; }
    fs::resize_file(huge, (std::uintmax_t(256) << 20) + 1);
    try {
        Mover::undo(huge);
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  huge + " is larger than 256 MiB, too large for a manifest");
    }
    EXPECT_THROW(Mover::undo(dir.path("root")), Error);
    EXPECT_THROW(Mover::undo(dir.path("missing.json")), Error);
    EXPECT_EQ(snapshot(dir.path("root")), before);
    EXPECT_EQ(Mover::undo(outcome.manifestURLs.at(0)).restored, 1);
}

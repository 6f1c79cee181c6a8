// The undo on real files after the world moved on: original folders gone or replaced, original
// paths taken, files removed from the review folder, a full volume, an undo cut short, and
// manifests that were damaged or written by someone else. A record that cannot be restored is
// skipped with a reason; nothing is replaced, nothing is lost, and a refused manifest changes
// nothing.
#include "Error.h"
#include "Inventory.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "ToolUnderTest.h"
#include "move/MoveManifest.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace quillmere;
using quillmere::testing::account;
using quillmere::testing::Inventory;
using quillmere::testing::ProcessResult;
using quillmere::testing::promisesHold;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::snapshot;
using quillmere::testing::TempDir;
using quillmere::testing::TmpfsMount;
using quillmere::testing::ToolUnderTest;
namespace fs = std::filesystem;

namespace {

constexpr const char* review = "_duplicates_review";

// Three photos kept at the top of the root as IMG_<n>.jpg, each with a copy in Trip/ and in
// Old/Trip/, set aside by a scan and a move. The root may be a mounted volume, made by the caller.
struct SetAside {
    std::string root;
    Inventory before;
    MoveOutcome outcome;

    explicit SetAside(std::string folder) : root(std::move(folder)) {
        for (int index = 0; index < 3; ++index) {
            const std::string content =
                randomBytes(2000 + std::size_t(index), std::uint32_t(index + 1));
            const std::string name = "IMG_" + std::to_string(index);
            for (const std::string& path :
                 {name + ".jpg", "Trip/" + name + " copy.jpg", "Old/Trip/" + name + " (1).jpg"}) {
                fs::create_directories(fs::path(root + "/" + path).parent_path());
                std::ofstream(root + "/" + path, std::ios::binary) << content;
            }
        }
        before = Inventory::of({root});
        const auto scanned = DuplicateScanner(ScanConfig{{root}, {}}).scan();
        outcome = Mover({root}, review).move(scanned.groups);
        if (outcome.moved.size() != 6 || outcome.manifestURLs.size() != 1 ||
            outcome.moved[0].verifiedAgainst != root + "/IMG_2.jpg")
            throw std::runtime_error("the fixture did not set aside as planned");
    }

    const std::string& manifest() const { return outcome.manifestURLs.front(); }
    std::string at(const std::string& relative) const { return root + "/" + relative; }
};

std::string reasonOf(const UndoOutcome& outcome, const std::string& to) {
    for (const auto& skipped : outcome.skipped)
        if (skipped.path == to)
            return skipped.reason;
    return "(not skipped)";
}

// A manifest file for `root` holding one record.
std::string writeManifest(const TempDir& dir, const std::string& root, const MoveRecord& record) {
    const MoveManifest manifest{root, std::chrono::system_clock::now(), {record}};
    return dir.write("root/_duplicates_review/_quillmere_manifest_20260101-000000.json",
                     manifest.encode());
}

} // namespace

TEST(UndoFaultTest, OriginalFolderReplacedByAFileLeavesTheRecordSetAside) {
    TempDir dir;
    SetAside run(dir.path("root"));
    fs::remove(run.at("Trip"));
    const std::string blocker = dir.write("root/Trip", "now a file");
    run.before.update(blocker);

    const auto undone = Mover::undo(run.manifest());
    EXPECT_EQ(undone.restored, 3);
    ASSERT_EQ(undone.skipped.size(), 3u);
    for (const auto& skipped : undone.skipped) {
        EXPECT_TRUE(skipped.reason.starts_with("restore failed: " + run.at("Trip")))
            << skipped.reason;
        EXPECT_TRUE(fs::exists(skipped.path)) << skipped.path;
    }
    EXPECT_EQ(readFile(blocker), "now a file");
    EXPECT_TRUE(promisesHold(account(run.before, {run.root})));
}

TEST(UndoFaultTest, OriginalPathTakenAgainIsNeverReplaced) {
    TempDir dir;
    SetAside run(dir.path("root"));
    const MoveRecord& taken = run.outcome.moved.front();
    std::ofstream(taken.from) << "a new file of that name";

    const auto undone = Mover::undo(run.manifest());
    EXPECT_EQ(undone.restored, 5);
    EXPECT_EQ(reasonOf(undone, taken.to), "something is already at the original path");
    EXPECT_EQ(readFile(taken.from), "a new file of that name");
    EXPECT_EQ(readFile(taken.to), readFile(taken.verifiedAgainst));
}

TEST(UndoFaultTest, FileRemovedFromTheReviewFolderDoesNotStopTheOthers) {
    TempDir dir;
    SetAside run(dir.path("root"));
    const MoveRecord& removed = run.outcome.moved.back();
    fs::remove(removed.to);
    run.before.forget(removed.from);

    const auto undone = Mover::undo(run.manifest());
    EXPECT_EQ(undone.restored, 5);
    EXPECT_EQ(reasonOf(undone, removed.to), "not in the review folder");
    EXPECT_TRUE(promisesHold(account(run.before, {run.root})));
}

// An undo ends between two records (the machine stopped, say): running it again puts back the
// rest and reports the ones already back.
TEST(UndoFaultTest, UndoCutShortCanBeRunAgain) {
    TempDir dir;
    SetAside run(dir.path("root"));
    for (std::size_t index = 0; index < 2; ++index)
        Mover::restore(run.outcome.moved[index]);

    const auto undone = Mover::undo(run.manifest());
    EXPECT_EQ(undone.restored, 4);
    ASSERT_EQ(undone.skipped.size(), 2u);
    for (const auto& skipped : undone.skipped)
        EXPECT_EQ(skipped.reason, "not in the review folder");
    EXPECT_TRUE(promisesHold(account(run.before, {run.root})));
    for (const auto& record : run.outcome.moved)
        EXPECT_TRUE(fs::exists(record.from)) << record.from;
}

// Putting back is renaming and making folders, which a full volume still allows.
TEST(UndoFaultTest, FullVolumeStillGetsEveryFileBack) {
    TempDir dir;
    const TmpfsMount volume(dir.path("root"), "size=256k");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    SetAside run(dir.path("root"));
    fs::remove_all(run.at("Old"));
    {
        std::ofstream out(run.at("filler"), std::ios::binary);
        const std::string block(4096, 'f');
        while (out.write(block.data(), block.size()) && out.flush()) {
        }
    }

    const auto undone = Mover::undo(run.manifest());
    EXPECT_EQ(undone.restored, 6);
    EXPECT_TRUE(undone.skipped.empty());
    fs::remove(run.at("filler"));
    EXPECT_TRUE(promisesHold(account(run.before, {run.root})));
}

// Found by fuzzing the manifest reader: a system call sees a path only up to its first NUL, so a
// destination of "<review folder>/\0x" passed the check on the whole text and then named the
// review folder itself, which the undo would have moved away with every file and manifest in it.
TEST(UndoFaultTest, RecordWithANulInAPathIsRefused) {
    TempDir dir;
    const std::string root = dir.mkdir("root");
    dir.write("root/_duplicates_review/Trip/a.jpg", "set aside");
    const std::string folder = root + "/" + review;
    const auto before = snapshot(dir.path());
    for (const MoveRecord& record :
         {MoveRecord{root + "/elsewhere", folder + "/" + std::string(1, '\0') + "x", 9, root},
          MoveRecord{root + "/a.jpg" + std::string(1, '\0') + "/../x", folder + "/Trip/a.jpg", 9,
                     root}}) {
        EXPECT_EQ(Mover::recordRefusal(record, root), "refused: a path contains a NUL character");
        const std::string manifest = writeManifest(dir, root, record);
        const auto undone = Mover::undo(manifest);
        EXPECT_EQ(undone.restored, 0);
        ASSERT_EQ(undone.skipped.size(), 1u);
        EXPECT_EQ(undone.skipped[0].reason, "refused: a path contains a NUL character");
        fs::remove(manifest);
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

// Found by fuzzing the manifest reader: a date after 2262 does not fit the clock's 64-bit count of
// nanoseconds, and converting it overflowed (undefined behaviour; in practice a date in 1677).
TEST(UndoFaultTest, CreatedAtOutsideTheClockRangeIsRefusedNotWrappedAround) {
    for (const std::string date :
         {"4052-01-01T10:00:00+02:00", "2262-04-12T00:00:00Z", "1677-09-21T00:00:00Z"}) {
        SCOPED_TRACE(date);
        const std::string json =
            R"({"createdAt":")" + date + R"(","records":[],"root":"\/Volumes\/A"})";
        EXPECT_THROW(MoveManifest::decode(json), Error);
    }
    for (const std::string date : {"2262-04-11T23:47:16Z", "1677-09-21T00:12:44Z"}) {
        SCOPED_TRACE(date);
        const std::string json =
            R"({"createdAt":")" + date + R"(","records":[],"root":"\/Volumes\/A"})";
        const auto manifest = MoveManifest::decode(json);
        EXPECT_EQ(MoveManifest::decode(manifest.encode()), manifest);
    }

    const ToolUnderTest tool;
    tool.work.write("A/IMG_1.jpg", "kept");
    tool.work.write("A/_duplicates_review/IMG_1 copy.jpg", "set aside");
    const std::string manifest = tool.work.write(
        "A/_duplicates_review/_quillmere_manifest_40520101-100000.json",
        R"({"createdAt":"4052-01-01T10:00:00Z","records":[{"from":")" +
            tool.at("A/IMG_1 copy.jpg") + R"(","sizeBytes":4,"to":")" +
            tool.at("A/_duplicates_review/IMG_1 copy.jpg") + R"(","verifiedAgainst":")" +
            tool.at("A/IMG_1.jpg") + R"("}],"root":")" + tool.at("A") + R"("})");
    const auto before = snapshot(tool.at("A"));
    const ProcessResult result = tool.run({"--undo", manifest});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.starts_with("error: could not read manifest: \"createdAt\" is not an "
                                       "ISO 8601 date-time"))
        << result.err;
    EXPECT_EQ(snapshot(tool.at("A")), before);
}

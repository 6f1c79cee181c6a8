// The set-aside on real files that change between the scan and the move, or between the last
// comparison and the rename; on volumes that are full or read-only; with two runs at once and a
// run killed half way. The mover's progress reports are the hooks: "moving" for an item comes
// after its checks and just before its rename, and the last one before the manifests are written.
// After every case each file is where it was or where a manifest says, unchanged, and nothing set
// aside differs from the copy that stays.
#include "Error.h"
#include "Inventory.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "ToolUnderTest.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::account;
using quillmere::testing::InputKind;
using quillmere::testing::Inventory;
using quillmere::testing::ProcessOptions;
using quillmere::testing::ProcessResult;
using quillmere::testing::promisesHold;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::TempDir;
using quillmere::testing::TmpfsMount;
using quillmere::testing::ToolUnderTest;
using Stream = quillmere::testing::InteractiveProcess::Stream;
namespace fs = std::filesystem;

namespace {

constexpr const char* review = "_duplicates_review";

using MoveHook = std::function<void(const MoveProgress&)>;

// Runs `action` once, when the mover is about to rename item `index`: its checks have passed.
MoveHook beforeRename(std::int64_t index, std::function<void()> action) {
    return [index, action = std::move(action)](const MoveProgress& update) {
        const auto* moving = std::get_if<moveprogress::Moving>(&update);
        if (moving && moving->done == index && moving->done < moving->total)
            action();
    };
}

// Runs `action` once, after the last rename and before any manifest is written.
MoveHook beforeTheManifests(std::function<void()> action) {
    return [action = std::move(action)](const MoveProgress& update) {
        const auto* moving = std::get_if<moveprogress::Moving>(&update);
        if (moving && moving->done == moving->total)
            action();
    };
}

// Writes the file and dates it in the past, as a real photo is: an edit during the run then shows
// in its modification time, however coarse the file system's clock.
std::string writeOld(const TempDir& dir, const std::string& relative, const std::string& content) {
    const std::string path = dir.write(relative, content);
    const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    return path;
}

void append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// One root with a photo kept at IMG_0001.jpg and copies at 2024/IMG_0001 copy.jpg and
// 2025/IMG_0001 (1).jpg (moved in that order), and a video with one copy. The scan runs first, as
// the tool's does.
struct Library {
    TempDir dir;
    std::string root = dir.mkdir("root");
    std::string photo = randomBytes(300000, 1);
    std::string video = randomBytes(5000, 2);
    std::string keep = writeOld(dir, "root/IMG_0001.jpg", photo);
    std::string copy1 = writeOld(dir, "root/2024/IMG_0001 copy.jpg", photo);
    std::string copy2 = writeOld(dir, "root/2025/IMG_0001 (1).jpg", photo);
    std::string clip = writeOld(dir, "root/clip.mov", video);
    std::string clipCopy = writeOld(dir, "root/old/clip copy.mov", video);
    Inventory before = Inventory::of({root});
    ScanResult scanned = DuplicateScanner(ScanConfig{{root}, {}}).scan();

    Library() {
        if (scanned.groups.size() != 2 || scanned.groups[0].keep != keep ||
            scanned.groups[0].remove != std::vector<std::string>{copy1, copy2})
            throw std::runtime_error("the fixture did not scan as planned");
    }

    MoveOutcome move(MoveHook hook = {}) {
        return Mover({root}, review, std::move(hook)).move(scanned.groups);
    }
    std::string inReview(const std::string& relative) const {
        return root + "/" + review + "/" + relative;
    }
};

std::string reasonOf(const MoveOutcome& outcome, const std::string& path) {
    for (const auto& skipped : outcome.skipped)
        if (skipped.path == path)
            return skipped.reason;
    return "(not skipped)";
}

} // namespace

TEST(SetAsideFaultTest, CopyDeletedBeforeTheMoveIsSkipped) {
    Library library;
    fs::remove(library.copy1);
    library.before.forget(library.copy1);
    const auto outcome = library.move();
    EXPECT_EQ(reasonOf(outcome, library.copy1), "no longer on disk");
    EXPECT_EQ(outcome.moved.size(), 2u);
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, KeeperDeletedBeforeTheMoveKeepsEveryCopy) {
    Library library;
    fs::remove(library.keep);
    library.before.forget(library.keep);
    const auto outcome = library.move();
    for (const auto& copy : {library.copy1, library.copy2}) {
        EXPECT_EQ(reasonOf(outcome, copy), "the file it duplicates is missing: " + library.keep);
        EXPECT_TRUE(readFile(copy) == library.photo) << copy;
    }
    EXPECT_EQ(outcome.moved.size(), 1u) << "only the video's copy";
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, KeeperEditedBeforeTheMoveKeepsEveryCopy) {
    Library library;
    append(library.keep, "edited");
    library.before.update(library.keep);
    const auto outcome = library.move();
    for (const auto& copy : {library.copy1, library.copy2})
        EXPECT_EQ(reasonOf(outcome, copy), "no longer byte-identical to " + library.keep);
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, CopyEditedBeforeTheMoveIsSkipped) {
    Library library;
    std::string edited = library.photo;
    edited[150000] ^= 1;
    library.dir.write("root/2024/IMG_0001 copy.jpg", edited);
    library.before.update(library.copy1);
    const auto outcome = library.move();
    EXPECT_EQ(reasonOf(outcome, library.copy1), "no longer byte-identical to " + library.keep);
    EXPECT_TRUE(readFile(library.copy1) == edited) << library.copy1;
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

// The comparison has passed; then the copy is written to before the rename. Setting it aside now
// would record it as a copy of a file it no longer equals.
TEST(SetAsideFaultTest, CopyEditedJustBeforeTheRenameStaysWhereItWas) {
    Library library;
    std::string edited = library.photo;
    edited[1000] ^= 1;
    const auto outcome = library.move(
        beforeRename(0, [&] { library.dir.write("root/2024/IMG_0001 copy.jpg", edited); }));
    library.before.update(library.copy1);
    EXPECT_EQ(reasonOf(outcome, library.copy1), "no longer byte-identical to " + library.keep);
    EXPECT_TRUE(readFile(library.copy1) == edited) << library.copy1;
    EXPECT_FALSE(fs::exists(library.inReview("2024/IMG_0001 copy.jpg")));
    EXPECT_EQ(outcome.moved.size(), 2u);
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, CopyGrownJustBeforeTheRenameStaysWhereItWas) {
    Library library;
    const auto outcome = library.move(beforeRename(1, [&] { append(library.copy2, "tail"); }));
    library.before.update(library.copy2);
    EXPECT_EQ(reasonOf(outcome, library.copy2), "no longer byte-identical to " + library.keep);
    EXPECT_TRUE(readFile(library.copy2) == library.photo + "tail") << library.copy2;
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

// If the keeper changes after the comparison, the copy about to be set aside is the last one of
// the content that was compared.
TEST(SetAsideFaultTest, KeeperEditedJustBeforeTheRenameKeepsTheCopy) {
    Library library;
    std::string edited = library.photo;
    edited[299999] ^= 1;
    const auto outcome =
        library.move(beforeRename(0, [&] { library.dir.write("root/IMG_0001.jpg", edited); }));
    library.before.update(library.keep);
    for (const auto& copy : {library.copy1, library.copy2}) {
        EXPECT_EQ(reasonOf(outcome, copy), "no longer byte-identical to " + library.keep);
        EXPECT_TRUE(readFile(copy) == library.photo) << copy;
    }
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, DestinationAppearingJustBeforeTheRenameIsNeverReplaced) {
    Library library;
    std::string appeared;
    const auto outcome = library.move(beforeRename(0, [&] {
        appeared =
            library.dir.write("root/_duplicates_review/2024/IMG_0001 copy.jpg", "someone else's");
    }));
    library.before.update(appeared);
    ASSERT_EQ(outcome.moved.size(), 3u);
    EXPECT_EQ(outcome.moved[0].to, library.inReview("2024/IMG_0001 copy (2).jpg"));
    EXPECT_TRUE(readFile(appeared) == "someone else's") << appeared;
    EXPECT_TRUE(readFile(outcome.moved[0].to) == library.photo) << outcome.moved[0].to;
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, ReviewFolderThatCannotBeCreatedSkipsEveryMove) {
    Library library;
    const std::string blocker =
        library.dir.write("root/_duplicates_review", "a file, not a folder");
    library.before.update(blocker);
    const auto outcome = library.move();
    EXPECT_TRUE(outcome.moved.empty());
    ASSERT_EQ(outcome.skipped.size(), 3u);
    for (const auto& skipped : outcome.skipped)
        EXPECT_TRUE(skipped.reason.starts_with("move failed: " + library.root + "/" + review) &&
                    (skipped.reason.ends_with(": File exists") ||
                     skipped.reason.ends_with(": Not a directory")))
            << skipped.reason;
    EXPECT_TRUE(outcome.manifestURLs.empty());
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

TEST(SetAsideFaultTest, CopyReplacedByANamedPipeIsSkippedWithoutWaiting) {
    Library library;
    fs::remove(library.copy1);
    ASSERT_EQ(::mkfifo(library.copy1.c_str(), 0644), 0);
    library.before.forget(library.copy1);
    const auto outcome = library.move();
    EXPECT_EQ(reasonOf(outcome, library.copy1), "no longer byte-identical to " + library.keep);
    EXPECT_TRUE(fs::is_fifo(library.copy1));
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

// A copy replaced by a link to its keeper, or by a second name of it, is the keeper itself:
// setting it aside would take away the one file that stays.
TEST(SetAsideFaultTest, CopyReplacedByTheKeeperUnderAnotherNameIsSkipped) {
    Library library;
    fs::remove(library.copy1);
    fs::create_symlink(library.keep, library.copy1);
    fs::remove(library.copy2);
    fs::create_hard_link(library.keep, library.copy2);
    library.before.forget(library.copy1);
    library.before.update(library.copy2);
    const auto outcome = library.move();
    EXPECT_EQ(reasonOf(outcome, library.copy1), "is the same file as " + library.keep);
    EXPECT_EQ(reasonOf(outcome, library.copy2), "is the same file as " + library.keep);
    EXPECT_TRUE(readFile(library.keep) == library.photo) << library.keep;
    EXPECT_TRUE(promisesHold(account(library.before, {library.root})));
}

// Renames need no space, a manifest does. A run whose record cannot be written puts back what
// it moved, so that no file is left set aside without a record to undo it from.
TEST(SetAsideFaultTest, FullVolumeWhileTheManifestIsWrittenPutsTheFilesBack) {
    TempDir dir;
    const TmpfsMount volume(dir.path("root"), "size=1m");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::string content = randomBytes(20000, 3);
    const std::string keep = dir.write("root/IMG_0001.jpg", content);
    const std::string copy = dir.write("root/a/b/copy.jpg", content);
    const auto scanned = DuplicateScanner(ScanConfig{{dir.path("root")}, {}}).scan();
    auto before = Inventory::of({dir.path("root")});
    std::string filler;
    Mover mover({dir.path("root")}, review, beforeTheManifests([&] {
                    filler = dir.path("root/filler");
                    std::ofstream out(filler, std::ios::binary);
                    const std::string block(4096, 'f');
                    while (out.write(block.data(), block.size()) && out.flush()) {
                    }
                }));
    try {
        mover.move(scanned.groups);
        FAIL() << "the run must fail";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
        EXPECT_TRUE(message.ends_with("; the 1 file(s) moved there were put back")) << message;
    }
    fs::remove(filler);
    EXPECT_TRUE(readFile(copy) == content) << copy;
    EXPECT_FALSE(fs::exists(dir.path("root/_duplicates_review/a/b/copy.jpg")));
    EXPECT_TRUE(promisesHold(account(before, {dir.path("root")})));
}

// Out of inodes: the review folder, its journal and one of its subfolders can still be made, the
// next subfolder cannot (that copy is skipped) and neither can the manifest (the moved copy goes
// back).
TEST(SetAsideFaultTest, VolumeOutOfInodesLeavesEveryFileInPlace) {
    TempDir dir;
    // The volume's own folder and the five entries below, plus three.
    const TmpfsMount volume(dir.path("root"), "size=1m,nr_inodes=9");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::string content = randomBytes(3000, 4);
    dir.write("root/IMG_0001.jpg", content);
    const std::string first = dir.write("root/a/IMG_0001 copy.jpg", content);
    const std::string second = dir.write("root/b/IMG_0001 (1).jpg", content);
    const auto scanned = DuplicateScanner(ScanConfig{{dir.path("root")}, {}}).scan();
    const auto before = Inventory::of({dir.path("root")});
    try {
        Mover({dir.path("root")}, review).move(scanned.groups);
        FAIL() << "the run must fail";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(
            message.find(": No space left on device; the 1 file(s) moved there were put back"),
            std::string::npos)
            << message;
    }
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
    EXPECT_TRUE(promisesHold(account(before, {dir.path("root")})));
}

namespace {

// Two roots with `count` photos kept in A and a copy of each in A/Copies and in B.
std::vector<std::string> writeLibrary(const ToolUnderTest& tool, int count) {
    std::vector<std::string> roots{tool.at("A"), tool.at("B")};
    for (int index = 0; index < count; ++index) {
        const std::string content = randomBytes(100 + std::size_t(index), std::uint32_t(index + 9));
        const std::string name = "IMG_" + std::to_string(1000 + index);
        tool.work.write("A/" + name + ".JPG", content);
        tool.work.write("A/Copies/" + name + " copy.JPG", content);
        tool.work.write("B/" + name + ".JPG", content);
    }
    return roots;
}

} // namespace

TEST(SetAsideFaultTest, FullVolumeEndToEndMovesNothingItCannotRecord) {
    const ToolUnderTest tool;
    const TmpfsMount volume(tool.at("A"), "size=256k");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const auto roots = writeLibrary(tool, 20);
    const auto before = Inventory::of(roots);

    ProcessOptions onTerminal;
    onTerminal.inputKind = InputKind::terminal;
    const auto run = tool.start({"A", "B", "--move"}, onTerminal);
    ASSERT_TRUE(run->waitFor(Stream::out, "Type 'yes' to continue: "));
    {
        std::ofstream out(tool.at("A/filler"), std::ios::binary);
        const std::string block(4096, 'f');
        while (out.write(block.data(), block.size()) && out.flush()) {
        }
    }
    run->send("yes\n");
    const ProcessResult result = run->finish();
    fs::remove(tool.at("A/filler"));

    // A's journal cannot be written, so none of A's copies is moved; B's are.
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Skipped : 20 (left exactly where they were)"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(": No space left on device\n"), std::string::npos) << result.out;
    const auto accounting = account(before, roots);
    EXPECT_TRUE(promisesHold(accounting));
    // Root B's manifest was written and records B's moves; nothing of A is set aside.
    EXPECT_EQ(accounting.records.size(), 20u);
    for (const auto& record : accounting.records)
        EXPECT_TRUE(record.from.starts_with(tool.at("B/"))) << record.from;
}

TEST(SetAsideFaultTest, ReadOnlyVolumeSkipsEveryMoveAndChangesNothing) {
    const ToolUnderTest tool;
    const TmpfsMount volume(tool.at("A"), "size=1m");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const auto roots = writeLibrary(tool, 3);
    ASSERT_EQ(::mount(nullptr, tool.at("A").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    const auto before = Inventory::of(roots);

    const ProcessResult result = tool.run({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Moved   : 0 file(s), 0.0 B\nSkipped : 3 (left exactly where they "
                              "were)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(": Read-only file system\n"), std::string::npos) << result.out;
    EXPECT_FALSE(fs::exists(tool.at("A/_duplicates_review")));
    EXPECT_TRUE(promisesHold(account(before, roots)));
}

TEST(SetAsideFaultTest, ReportThatCannotBeWrittenEndsTheRunBeforeAnyMove) {
    const ToolUnderTest tool;
    const auto roots = writeLibrary(tool, 3);
    const auto before = Inventory::of(roots);
    const ProcessResult result =
        tool.run({"A", "B", "--move", "--yes", "--quiet", "--out", "missing/folder/report.txt"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.starts_with("error: could not write report: ")) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(tool.at("A/_duplicates_review")));
    EXPECT_TRUE(promisesHold(account(before, roots)));
}

// Two set-asides of the same folders at once: each file is verified and renamed by one of them;
// the other finds it gone. Every move is in exactly one of the manifests.
TEST(SetAsideFaultTest, TwoSetAsidesAtOnceMoveEachFileOnce) {
    const ToolUnderTest tool;
    const auto roots = writeLibrary(tool, 300);
    const auto before = Inventory::of(roots);
    const auto first = tool.start({"A", "B", "--move", "--yes", "--quiet", "--out", "one.txt"});
    const auto second = tool.start({"A", "B", "--move", "--yes", "--quiet", "--out", "two.txt"});
    const ProcessResult one = first->finish();
    const ProcessResult two = second->finish();
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(two.exitCode, 0) << two.err;

    const auto accounting = account(before, roots);
    EXPECT_TRUE(promisesHold(accounting));
    EXPECT_EQ(accounting.records.size(), 600u);
    std::set<std::string> moved;
    for (const auto& record : accounting.records)
        EXPECT_TRUE(moved.insert(record.from).second) << record.from << " is recorded twice";
}

// SIGKILL cannot be caught: the run ends between two files, before any manifest is written.
// Each file is then whole, at its path or where the run's journal records it.
TEST(SetAsideFaultTest, KilledSetAsideLeavesEveryMovedFileInItsJournal) {
    const ToolUnderTest tool;
    const auto roots = writeLibrary(tool, 1500);
    const auto before = Inventory::of(roots);

    // Once some files have moved the test stops reading standard error, so the tool soon blocks
    // on a progress line and is killed half way.
    const auto run = tool.start({"A", "B", "--move", "--yes"});
    ASSERT_TRUE(run->waitForOnly(Stream::err, "  moving… 20/"));
    run->signal(SIGKILL);
    const ProcessResult result = run->finish();
    ASSERT_EQ(result.signal, SIGKILL);

    const auto accounting = account(before, roots);
    EXPECT_TRUE(promisesHold(accounting));
    EXPECT_GE(accounting.records.size(), 20u);
    EXPECT_LT(accounting.records.size(), 3000u);
    RecordProperty("filesSetAsideBeforeTheKill", int(accounting.records.size()));
}

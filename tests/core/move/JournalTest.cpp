// The set-aside journal and confinement to the review folder: how a leftover journal reads (cut
// short, repeated, contradictory, moved elsewhere), and that no rename of the mover or the undo
// passes through a symbolic link.
#include "Error.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "fs/Folder.h"
#include "move/MoveJournal.h"
#include "move/Mover.h"
#include "scan/ScanResult.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quillmere;
using quillmere::testing::readFile;
using quillmere::testing::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr const char* review = "_duplicates_review";
const std::string header = R"({"createdAt":"2026-12-07T03:46:05Z","records":[],"root":"\/r"})"
                           "\n";

std::string line(const std::string& from, const std::string& to) {
    return MoveManifest::encodeRecord({from, to, 4, "/r/keep.jpg"}) + "\n";
}

std::vector<std::string> destinations(const MoveManifest& manifest) {
    std::vector<std::string> paths;
    for (const auto& record : manifest.records)
        paths.push_back(record.from + " -> " + record.to);
    return paths;
}

// A root with a kept photo and its copy in 2024/sub/, scanned as one group.
struct Pair {
    TempDir dir;
    std::string root = fs::canonical(dir.mkdir("root")).string();
    std::string keep = dir.write("root/keep.jpg", "same");
    std::string copy = dir.write("root/2024/sub/copy.jpg", "same");
    std::string outside = dir.mkdir("outside");

    MoveOutcome move() const {
        return Mover({root}, review).move({DuplicateGroup{MediaKind::photo, 4, keep, {copy}}});
    }
};

} // namespace

TEST(JournalTest, DecodesWhatARunLeftAndRefusesWhatItCannotHaveWritten) {
    const std::string a = line("/r/a.jpg", "/r/_duplicates_review/a.jpg");
    const std::string b = line("/r/b.jpg", "/r/_duplicates_review/b.jpg");
    const std::string bIntoA = line("/r/b.jpg", "/r/_duplicates_review/a.jpg");
    const std::string aRetried = line("/r/a.jpg", "/r/_duplicates_review/a (2).jpg");
    const std::string toA = "/r/a.jpg -> /r/_duplicates_review/a.jpg",
                      toB = "/r/b.jpg -> /r/_duplicates_review/b.jpg";
    // Header only; two records; the last line cut short by the kill; a power cut's zeros after
    // it; a repeated record counted once; the later of two records with one destination; a retry
    // under a new name after the destination was taken.
    const std::pair<std::string, std::vector<std::string>> read[] = {
        {header, {}},
        {header + a + b, {toA, toB}},
        {header + a + b.substr(0, 20), {toA}},
        {header + a + std::string(300, '\0'), {toA}},
        {header + a + a + b + a, {toB, toA}},
        {header + a + bIntoA, {"/r/b.jpg -> /r/_duplicates_review/a.jpg"}},
        {header + a + aRetried + b, {"/r/a.jpg -> /r/_duplicates_review/a (2).jpg", toB}},
    };
    const std::string noLine = "the journal has no complete line: the run ended before it moved "
                               "anything";
    const std::pair<std::string, std::string> refused[] = {
        {"", noLine},
        {header.substr(0, 30), noLine},
        {header + a + "{\"from\":\"/r/c.jpg\"}\n" + b, "line 3: missing key \"sizeBytes\""},
        {header + "[1]\n", "line 2: the record is an array, not an object"},
        {a + b, "line 1: missing key \"createdAt\""},
    };
    for (const auto& [text, error] : refused) {
        try {
            MoveJournal::decode(text);
            ADD_FAILURE() << text;
        } catch (const Error& thrown) {
            EXPECT_EQ(thrown.what(), error);
        }
    }
    for (const auto& [text, records] : read) {
        const auto manifest = MoveJournal::decode(text);
        EXPECT_EQ(manifest.root, "/r") << text;
        EXPECT_EQ(destinations(manifest), records) << text;
    }
}

TEST(JournalTest, ALeftoverJournalIsUndoneLikeAManifestUnlessItWasMovedElsewhere) {
    const Pair pair;
    const std::string folder = pair.root + "/" + review;
    const std::string setAside =
        pair.dir.write("root/_duplicates_review/2024/sub/copy.jpg", "same");
    fs::remove(pair.copy);
    const std::string journalText = R"({"createdAt":"2026-12-07T03:46:05Z","records":[],"root":")" +
                                    pair.root + "\"}\n" + line(pair.copy, setAside) +
                                    line(pair.outside + "/x.jpg", pair.keep);
    const std::string journal = pair.dir.write(
        "root/_duplicates_review/_quillmere_journal_20261207-034605-7.jsonl", journalText);
    EXPECT_EQ(Mover::leftoverJournals(pair.root), std::vector<std::string>{journal});

    // The same journal in a folder that is not its root's review folder (the drive renamed).
    const std::string elsewhere = pair.dir.write(
        "moved/_duplicates_review/_quillmere_journal_20261207-034605-7.jsonl", journalText);
    try {
        Mover::undo(elsewhere);
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.what(), elsewhere + " was written in " + folder +
                                    " and is no longer there; its records are not used");
    }
    EXPECT_EQ(readFile(setAside), "same");

    const auto undone = Mover::undo(journal);
    EXPECT_EQ(undone.restored, 1);
    ASSERT_EQ(undone.skipped.size(), 1u);
    EXPECT_EQ(undone.skipped[0].reason, "refused: not inside the review folder " + folder);
    EXPECT_EQ(readFile(pair.copy), "same");
    EXPECT_EQ(readFile(pair.keep), "same");
    EXPECT_TRUE(Mover::leftoverJournals(pair.root).empty()) << "nothing of it is left to put back";
}

TEST(JournalTest, NoRenamePassesThroughALink) {
    // A link on the way to the copy's folder inside the review folder, leading out or staying
    // beneath it, and the review folder itself a link.
    const std::string folder = std::string("/") + review;
    for (const auto& [link, target] : {std::pair{folder + "/2024", std::string()},
                                       {folder + "/2024", std::string("elsewhere")},
                                       {folder, std::string()}}) {
        SCOPED_TRACE(link + " -> " + target);
        const Pair pair;
        const std::string into = target.empty() ? pair.outside : pair.root + folder + "/" + target;
        fs::create_directories(into + "/sub");
        fs::create_directories(fs::path(pair.root + link).parent_path());
        fs::create_directory_symlink(target.empty() ? pair.outside : target, pair.root + link);
        const auto outcome = pair.move();
        ASSERT_EQ(outcome.skipped.size(), 1u);
        EXPECT_EQ(outcome.skipped[0].reason, "move failed: " + pair.root + link +
                                                 " is a symbolic link; nothing is moved through a "
                                                 "link");
        EXPECT_TRUE(fs::is_empty(into + "/sub"));
        EXPECT_EQ(readFile(pair.copy), "same");
    }
    // The original folder swapped for a link between the set-aside and the undo.
    const Pair pair;
    const auto outcome = pair.move();
    ASSERT_EQ(outcome.manifestURLs.size(), 1u);
    fs::remove_all(pair.root + "/2024");
    fs::create_directory_symlink(pair.outside, pair.root + "/2024");
    const auto undone = Mover::undo(outcome.manifestURLs[0]);
    EXPECT_EQ(undone.restored, 0);
    ASSERT_EQ(undone.skipped.size(), 1u);
    EXPECT_EQ(undone.skipped[0].reason,
              "refused: a symbolic link is on the way to the original path");
    EXPECT_TRUE(fs::is_empty(pair.outside));
    EXPECT_EQ(readFile(outcome.moved[0].to), "same");
}

// A record that could not be written may have left part of a line; nothing may follow it.
TEST(JournalTest, NoRecordFollowsOneThatCouldNotBeWritten) {
    TempDir dir;
    const quillmere::testing::TmpfsMount volume(dir.mkdir("root"), "size=64k");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::string root = dir.path("root");
    const Folder folder = Folder::open(root).beneath(review, Folder::Missing::create);
    MoveJournal journal(folder, root, "test");
    const std::string filler = root + "/filler";
    quillmere::testing::fillVolume(filler);
    // Longer than the rest of the journal's first page, so that it needs a block the volume
    // no longer has.
    const MoveRecord record{root + "/" + std::string(5000, 'a'), root + "/_duplicates_review/a", 4,
                            root + "/k"};
    EXPECT_THROW(journal.append(record), Error);
    fs::remove(filler);
    try {
        journal.append(record);
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.what(), journal.path() + ": an earlier record could not be written");
    }
    EXPECT_TRUE(Mover::readManifest(journal.path()).records.empty());
}

// The review model on real files: a scan in the background ending in a review, saved marks,
// applying marks (the re-check, the Trash, the refusals) and reviews of an earlier set-aside's
// manifest.
#include "QtPrinting.h"
#include "QtTestEnvironment.h"
#include "TempDir.h"
#include "model/ReviewSession.h"
#include "model/ReviewState.h"
#include "model/ScanCoordinator.h"
#include "model/Trash.h"
#include "move/MoveJournal.h"
#include "move/Mover.h"
#include "scan/CloudStatus.h"
#include "scan/SkipRules.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
namespace fs = std::filesystem;

namespace {

/// Identical files under `dir`: `keep` and each of `removes` hold `content`.
DuplicateGroup writeGroup(const TempDir& dir, const std::string& keep,
                          const std::vector<std::string>& removes, const std::string& content) {
    DuplicateGroup group{MediaKind::photo, std::ssize(content), dir.write(keep, content), {}};
    for (const auto& remove : removes)
        group.remove.push_back(dir.write(remove, content));
    return group;
}

ScanResult resultOf(std::vector<DuplicateGroup> groups) {
    ScanResult result;
    result.groups = std::move(groups);
    return result;
}

/// The desktop's Trash (in the test's own data folder), refusing the paths in `refused`.
struct TestTrash final : Trash {
    std::optional<std::string> moveToTrash(const std::string& path) const override {
        if (refused.count(path))
            return "refused by the test";
        return Trash::platform().moveToTrash(path);
    }
    std::set<std::string> refused;
};

/// A temporary folder, marks saved in its "state" folder, and a session using the test's Trash.
class SessionFixture : public ::testing::Test {
  protected:
    void SetUp() override { ReviewState::setStateDirectoryOverride(dir.path("state")); }
    void TearDown() override { ReviewState::setStateDirectoryOverride(std::nullopt); }

    void applyAndWait(bool removing = true) {
        session.apply(removing);
        ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    }
    ReviewItem item(const std::string& name) const { return session.item(dir.path(name)).value(); }

    TempDir dir;
    TestTrash trash;
    ReviewSession session{trash, CloudStatus::platform()};
};

} // namespace

TEST(ScanCoordinatorTest, ScansInTheBackgroundAndEndsInAReview) {
    TempDir dir;
    for (const auto* name : {"Photos/a.jpeg", "Pictures/b.jpeg", "Pictures/c.heic"})
        dir.write(name, "same");
    dir.write("Pictures/unique.jpeg", "else");
    const std::vector<std::string> roots{dir.path("Photos"), dir.path("Pictures")};
    ScanCoordinator coordinator;
    EXPECT_FALSE(coordinator.scan({}, [](ScanCoordinator::Outcome) { ADD_FAILURE(); }));
    std::optional<ScanCoordinator::Outcome> outcome;
    ASSERT_TRUE(coordinator.scan(
        roots, [&](ScanCoordinator::Outcome scanned) { outcome = std::move(scanned); }));
    EXPECT_FALSE(coordinator.scan({roots[0]}, [](ScanCoordinator::Outcome) { ADD_FAILURE(); }));
    EXPECT_EQ(coordinator.detail(), QString::fromStdString(roots[0] + ", " + roots[1]));
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(outcome->result.groups.size(), 1u);
    EXPECT_EQ(outcome->pairs.items.size(), 2u) << "made ready for a review";
}

TEST(ScanCoordinatorTest, ElapsedTicksOnlyWhileScanning) {
    QSemaphore permit;
    ScanCoordinator coordinator([&](const ScanConfig&, const ScanProgress&) {
        permit.acquire();
        return ScanResult();
    });
    ASSERT_TRUE(coordinator.scan({"/a"}, [](ScanCoordinator::Outcome) {}));
    ASSERT_TRUE(waitUntil([&] { return coordinator.elapsed() > 0; }));
    permit.release();
    ASSERT_TRUE(waitUntil([&] { return !coordinator.isScanning(); }));
    QSignalSpy ticks(&coordinator, &ScanCoordinator::elapsedChanged);
    QTest::qWait(1500);
    EXPECT_EQ(ticks.count(), 0);
}

class ReviewSessionTest : public SessionFixture {
  protected:
    // The decisions a new session loads for `roots`, in the order of the pairs.
    std::string decisions(const std::vector<std::string>& roots) const {
        ReviewSession loaded;
        loaded.load(result, roots);
        std::string found;
        for (const auto& pair : loaded.items())
            found += std::string(Decisions::rawValue(pair.decision)) + " ";
        return found;
    }

    ScanResult result = resultOf({writeGroup(dir, "A/keep.jpg", {"A/a.jpg", "B/b.jpg"}, "photo"),
                                  writeGroup(dir, "B/keep.mov", {"A/c.mov"}, "video")});
    const std::vector<std::string> roots{dir.path("A"), dir.path("B")};
    const std::string none = "undecided undecided undecided ";
};

TEST_F(ReviewSessionTest, LoadPairsEachDuplicateAndThePlanFollowsTheMarks) {
    fs::remove(dir.path("B/b.jpg"));
    session.load(result, roots);
    // A file deleted before the load is gone: done, and its bytes count as cleared.
    EXPECT_EQ(item("B/b.jpg").state, State::gone);
    EXPECT_EQ(session.bytesCleared(), 5);
    EXPECT_TRUE(waitUntil([&] { return session.selection() == dir.path("A/a.jpg"); }));
    EXPECT_FALSE(session.applyPlan().confirms);
    session.mark(dir.path("A/c.mov"), Decision::keep);
    EXPECT_TRUE(session.applyPlan().confirms && !session.applyPlan().removes);
    session.markSelectionAndAdvance(Decision::discard);
    EXPECT_TRUE(session.applyPlan().removes);
}

TEST_F(ReviewSessionTest, MarksAreSavedSortedAndComeBackForTheSameRootsInAnyOrder) {
    session.load(result, roots);
    for (const auto& [name, decision] : {std::pair{"A/a.jpg", Decision::discard},
                                         {"A/c.mov", Decision::discard},
                                         {"B/b.jpg", Decision::keep},
                                         {"A/a.jpg", Decision::undecided}})
        session.mark(dir.path(name), decision);
    // Written a moment after the last mark, off the GUI thread.
    const std::string saved = "{\n  \"" + dir.path("A/c.mov") + "\": \"discard\",\n  \"" +
                              dir.path("B/b.jpg") + "\": \"keep\"\n}";
    EXPECT_TRUE(waitUntil([&] { return readFile(session.stateURL().value()) == saved; }));
    EXPECT_EQ(decisions({roots[1], roots[0]}), "undecided keep discard ");
    EXPECT_EQ(decisions({roots[0]}), none);
    // The name must stay the same across versions, or saved marks would be lost.
    EXPECT_EQ(ReviewState::stateFileForScan({"/Volumes/B", "/Volumes/A"}),
              dir.path("state/scan-b7193155d55a1161.json"));
}

TEST_F(ReviewSessionTest, OnlyAWellFormedStateFileIsReadAndNoneIsChanged) {
    const std::string file = ReviewState::stateFileForScan(roots).value(), a = dir.path("A/a.jpg");
    for (const auto& [content, expected] : std::vector<std::pair<std::string, std::string>>{
             {"{\"" + a + "\": \"discard\", \"" + a + "x\": \"undecided\"}",
              "discard undecided undecided "},
             {"{\"" + a + "\": \"discard\", \"" + a + "x\": \"maybe\"}", none},
             {std::string(100000, '[') + std::string(100000, ']'), none}}) {
        dir.write(fs::relative(file, dir.path()).string(), content);
        EXPECT_EQ(decisions(roots), expected) << content.substr(0, 80);
        EXPECT_EQ(readFile(file), content);
    }
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); // must not block the load
    EXPECT_EQ(decisions(roots), none);
}

using ApplyTest = SessionFixture;

TEST_F(ApplyTest, EveryFailureLeavesItsDuplicateInPlaceWithTheReason) {
    const std::string changed = "no longer byte-identical to the copy being kept";
    const std::string same =
        "this is the same file as the copy being kept, not a second copy of it";
    using Change = std::function<void(const std::string& keep, const std::string& duplicate)>;
    const auto edit = [](const std::string& path) { std::ofstream(path) << "EDITED"; };
    const std::vector<std::tuple<std::string, std::string, Change>> rows = {
        {"no-keeper", "the copy it duplicates is missing", [](auto& k, auto&) { fs::remove(k); }},
        {"edited-keeper", changed, [&](auto& k, auto&) { edit(k); }},
        {"edited", changed, [&](auto&, auto& d) { edit(d); }},
        {"vanished", changed, [](auto&, auto& d) { fs::remove(d); }},
        {"hard-link", same, [](auto& k, auto& d) { fs::remove(d), fs::create_hard_link(k, d); }},
        {"linked-keeper", same, [](auto& k, auto& d) { fs::remove(k), fs::create_symlink(d, k); }},
        {"refused", "refused by the test", [&](auto&, auto& d) { trash.refused.insert(d); }},
    };
    std::vector<DuplicateGroup> groups;
    for (const auto& [name, reason, change] : rows)
        groups.push_back(writeGroup(dir, name + "/keep.jpg", {name + "/a.jpg"}, name));
    session.load(resultOf(groups), {dir.path()});
    for (std::size_t i = 0; i < rows.size(); ++i)
        std::get<2>(rows[i])(groups[i].keep, groups[i].remove[0]);
    session.markAllPending(Decision::discard);
    applyAndWait();
    for (const auto& [name, reason, change] : rows) {
        EXPECT_EQ(item(name + "/a.jpg").failureReason, reason);
        EXPECT_EQ(fs::exists(dir.path(name + "/a.jpg")), name != "vanished") << name;
    }
    EXPECT_EQ(readFile(dir.path("linked-keeper/keep.jpg")), "linked-keeper");
}

// The comparisons run in the background; meanwhile b.jpg is marked keep and the review reloaded.
TEST_F(ApplyTest, MarksAndKeptCopiesChangedDuringTheApplyWin) {
    // As on a fresh account the data folder, and with it the Trash, is missing.
    const std::string data = qgetenv("XDG_DATA_HOME").toStdString();
    fs::remove_all(data);
    const std::string photo = randomBytes(200000, 3);
    auto group = writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg", "c.jpg"}, photo);
    session.load(resultOf({group}), {dir.path()});
    session.markAllPending(Decision::discard);
    session.apply(true);
    EXPECT_TRUE(session.isApplying());
    session.apply(true); // ignored while one runs
    session.mark(dir.path("b.jpg"), Decision::keep);
    // The review is reloaded with another kept copy for c.jpg; its saved mark comes back.
    group.remove = {dir.path("a.jpg"), dir.path("b.jpg")};
    auto regrouped = writeGroup(dir, "keep2.jpg", {}, photo);
    regrouped.remove = {dir.path("c.jpg")};
    session.load(resultOf({group, regrouped}), {dir.path()});
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    EXPECT_EQ(item("a.jpg").state, State::trashed);
    EXPECT_EQ(item("b.jpg").state, State::kept);
    EXPECT_EQ(item("c.jpg").state, State::pending);
    EXPECT_EQ(item("c.jpg").decision, Decision::discard);
    EXPECT_TRUE(fs::exists(dir.path("b.jpg")) && fs::exists(dir.path("c.jpg")));
    EXPECT_EQ(readFile(data + "/Trash/files/a.jpg"), photo);
    EXPECT_EQ(readFile(dir.path("keep.jpg")), photo);
    EXPECT_TRUE(waitUntil([&] {
        const auto saved = ReviewState::read(*session.stateURL());
        return saved && saved->size() == 3u;
    })) << "trashed pairs stay marked";
}

class ManifestReviewTest : public SessionFixture {
  protected:
    // A real set-aside of two duplicates into the drive's review folder.
    void SetUp() override {
        SessionFixture::SetUp();
        const auto outcome = Mover({drive}, std::string(SkipRules::reviewDirectoryName))
                                 .move({writeGroup(dir, "Drive/keep.jpg",
                                                   {"Drive/a.jpg", "Drive/sub/b.jpg"}, "photo")});
        ASSERT_EQ(outcome.moved.size(), 2u);
        records = outcome.moved;
        manifest = outcome.manifestURL().value();
    }
    std::string writeNewestManifest(const std::vector<MoveRecord>& list) {
        return dir.write("Drive/_duplicates_review/_quillmere_manifest_29991231-235959.json",
                         MoveManifest{drive, {}, list}.encode());
    }

    const std::string drive = dir.path("Drive"), reviewFolder = drive + "/_duplicates_review";
    std::vector<MoveRecord> records;
    std::string manifest;
};

TEST_F(ManifestReviewTest, KeepPutsTheFileBackDiscardTrashesTheCopyAndMarksStayBeside) {
    session.loadManifest(drive);
    ASSERT_EQ(session.items().size(), 2u);
    EXPECT_EQ(*session.items()[1].parkedRecord(), records[1]);
    EXPECT_EQ(session.items()[1].keepURL, records[1].verifiedAgainst);
    session.mark(records[0].to, Decision::keep);
    session.mark(records[1].to, Decision::discard);
    applyAndWait();
    EXPECT_EQ(session.item(records[0].to)->state, State::restored);
    EXPECT_EQ(readFile(records[0].from), "photo");
    EXPECT_EQ(session.item(records[1].to)->state, State::trashed);
    EXPECT_FALSE(fs::exists(records[1].to));
    EXPECT_TRUE(fs::exists(records[1].verifiedAgainst));
    // The marks are saved beside the manifest.
    ASSERT_TRUE(waitUntil([&] { return fs::exists(*session.stateURL()); }));
    ReviewSession reopened;
    reopened.load(manifest);
    EXPECT_EQ(reopened.item(records[0].to)->decision, Decision::keep);
    EXPECT_EQ(reopened.item(records[0].to)->state, State::restored);
}

TEST_F(ManifestReviewTest, UnusableManifestsAreRefusedAndOfUsableOnesTheNewestIsOpened) {
    session.load(manifest);
    session.loadManifest(dir.mkdir("Empty"));
    EXPECT_EQ(session.errorMessage(),
              "No Quillmere manifest found in " + dir.path("Empty/_duplicates_review"));
    const std::string huge = dir.write("huge.json", ""), pipe = dir.path("pipe.json");
    fs::resize_file(huge, std::uintmax_t(300) << 20);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& path :
         {dir.write("broken.json", "{ not json"), huge, pipe, dir.mkdir("dir")}) {
        session.load(path);
        EXPECT_TRUE(
            session.errorMessage().value_or("").starts_with("Could not read that manifest: "))
            << path;
    }
    EXPECT_EQ(session.items().size(), 2u) << "the open review stays";
    writeNewestManifest({records[1]});
    session.loadManifest(reviewFolder);
    EXPECT_EQ(session.items().size(), 1u);
}

TEST_F(ManifestReviewTest, RecordsOutsideTheReviewFolderAreNeverActedOn) {
    // A hand-edited manifest names a file of the user's as if it had been set aside.
    const std::string keep = dir.write("Drive/mine/keep.jpg", "mine");
    const std::string elsewhere = dir.write("Drive/mine/photo.jpg", "mine");
    const MoveRecord outside{dir.path("Drive/restored.jpg"), elsewhere, 4, keep};
    session.load(writeNewestManifest({outside}));
    for (const auto decision : {Decision::keep, Decision::discard}) {
        session.retryFailed();
        session.mark(elsewhere, decision);
        applyAndWait();
        EXPECT_TRUE(session.item(elsewhere)->failureReason.starts_with("refused"));
    }
    EXPECT_EQ(readFile(elsewhere), "mine");
    EXPECT_FALSE(fs::exists(outside.from));
}

// The journal of a set-aside that did not finish opens as a review, like a manifest.
using JournalReviewTest = ManifestReviewTest;

TEST_F(JournalReviewTest, ALeftoverJournalNewerThanTheLastManifestIsTheOneOpened) {
    // What a later run killed after its move of b.jpg would have left, had it made it.
    const std::string journal =
        dir.write("Drive/_duplicates_review/_quillmere_journal_29991231-235959-1.jsonl",
                  MoveManifest{drive, {}, {}}.encode(MoveManifest::Layout::singleLine) + "\n" +
                      MoveManifest::encodeRecord(records[1]) + "\n");
    for (const auto& location : {drive, journal}) {
        location == journal ? session.load(location) : session.loadManifest(location);
        ASSERT_EQ(session.items().size(), 1u) << location << session.errorMessage().value_or("");
        EXPECT_EQ(session.sourceDescription(), reviewFolder);
    }
}

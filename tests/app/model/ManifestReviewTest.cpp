// Opening an earlier set-aside as a review: finding the newest manifest, pairs of the set-aside
// file and its kept copy, keep marks putting files back, the state file beside the manifest, and
// manifests that cannot or must not be used.
#include "ModelTestSupport.h"
#include "fs/FileSystem.h"
#include "model/ReviewState.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"

#include <QProcessEnvironment>
#include <sys/stat.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
namespace fs = std::filesystem;

namespace {

class ManifestFixture : public ::testing::Test {
  protected:
    // A real set-aside of three duplicates into the drive's review folder.
    void SetUp() override {
        const std::string photo = randomBytes(5000, 7), video = randomBytes(7000, 8);
        dir.write("Drive/keep.jpg", photo);
        dir.write("Drive/sub/a.jpg", photo);
        dir.write("Drive/z.jpg", photo);
        dir.write("Drive/keep.mov", video);
        dir.write("Drive/sub/c.mov", video);
        const auto result = DuplicateScanner(ScanConfig{{drive}, {}}).scan();
        const auto outcome =
            Mover({drive}, std::string(SkipRules::reviewDirectoryName)).move(result.groups);
        ASSERT_EQ(outcome.moved.size(), 3u);
        records = outcome.moved;
        manifest = outcome.manifestURL().value();
    }

    std::string writeManifest(const std::string& name, const std::vector<MoveRecord>& list) {
        return dir.write("Drive/_duplicates_review/" + name,
                         MoveManifest{drive, {}, list}.encode());
    }

    TempDir dir;
    const std::string drive = dir.path("Drive");
    const std::string reviewFolder = dir.path("Drive/_duplicates_review");
    std::vector<MoveRecord> records;
    std::string manifest;
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
};

} // namespace

TEST_F(ManifestFixture, EachSetAsideFileIsPairedWithItsKeptCopy) {
    for (const auto& location : {drive, reviewFolder, manifest}) {
        ReviewSession opened;
        if (location == manifest)
            opened.load(location);
        else
            opened.loadManifest(location);
        ASSERT_EQ(opened.items().size(), 3u) << location;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& item = opened.items()[i];
            EXPECT_EQ(item.id, records[i].to);
            EXPECT_EQ(item.candidateURL, records[i].to);
            EXPECT_EQ(item.keepURL, records[i].verifiedAgainst);
            EXPECT_EQ(item.sizeBytes, records[i].sizeBytes);
            EXPECT_EQ(item.parkedRecord() ? *item.parkedRecord() : MoveRecord{}, records[i]);
            EXPECT_EQ(item.state, State::pending);
        }
        EXPECT_EQ(opened.sourceDescription(), reviewFolder);
        EXPECT_FALSE(opened.scanSummary());
        EXPECT_EQ(opened.stateURL(), reviewFolder + "/_quillmere_review_state.json");
        ASSERT_TRUE(waitUntil([&] { return opened.selection() == records[0].to; }));
    }
}

TEST_F(ManifestFixture, KeepPutsTheFileBackAndDiscardTrashesTheSetAsideCopy) {
    session.loadManifest(drive);
    session.mark(records[0].to, Decision::keep);
    session.mark(records[1].to, Decision::discard);
    applyAndWait(session, true);

    EXPECT_EQ(session.item(records[0].to)->state, State::restored);
    EXPECT_TRUE(fs::exists(records[0].from));
    EXPECT_FALSE(fs::exists(records[0].to));
    EXPECT_EQ(session.item(records[1].to)->state, State::trashed);
    EXPECT_EQ(trash.requests(), std::vector{records[1].to});
    EXPECT_TRUE(fs::exists(records[1].verifiedAgainst));
    EXPECT_EQ(session.item(records[2].to)->state, State::pending);

    // The marks sit beside the manifest and come back with it.
    const auto saved = ReviewState::read(reviewFolder + "/_quillmere_review_state.json");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 2u);
    ReviewSession reopened;
    reopened.load(manifest);
    EXPECT_EQ(reopened.item(records[0].to)->decision, Decision::keep);
    EXPECT_EQ(reopened.item(records[0].to)->state, State::restored);
    EXPECT_EQ(reopened.item(records[1].to)->state, State::gone);
}

TEST_F(ManifestFixture, AfterAnUndoEveryRecordIsRestoredAndTheReviewIsComplete) {
    ASSERT_EQ(Mover::undo(manifest).restored, 3);
    session.load(manifest);
    EXPECT_EQ(session.restoredCount(), 3);
    EXPECT_EQ(session.count(ReviewSession::Filter::pending), 0);
    EXPECT_TRUE(session.isComplete());
}

TEST_F(ManifestFixture, NewestManifestByNameIsOpened) {
    writeManifest("_quillmere_manifest_20240101-000000.json", {records[0]});
    writeManifest("_quillmere_manifest_29991231-235959.json", {records[1], records[2]});
    fs::remove(records[2].to);
    session.loadManifest(drive);
    ASSERT_EQ(session.items().size(), 2u);
    EXPECT_EQ(session.items()[0].id, records[1].to);
    EXPECT_EQ(session.items()[1].state, State::gone);
}

TEST_F(ManifestFixture, LoadErrorsKeepTheOpenReview) {
    session.load(manifest);
    session.setFilter(ReviewSession::Filter::all);
    session.setSelection(records[1].to);

    const std::string empty = dir.mkdir("Empty");
    session.loadManifest(empty);
    EXPECT_EQ(session.errorMessage(),
              "No Quillmere manifest found in " + empty + "/_duplicates_review");
    session.load(dir.write("Empty/broken.json", "{ not json"));
    ASSERT_TRUE(session.errorMessage());
    EXPECT_TRUE(session.errorMessage()->starts_with("Could not read that manifest: "));
    EXPECT_GT(session.errorMessage()->size(), std::string("Could not read that manifest: ").size());
    EXPECT_EQ(session.items().size(), 3u);
    EXPECT_EQ(session.filter(), ReviewSession::Filter::all);
    EXPECT_EQ(session.selection(), records[1].to);
    EXPECT_EQ(session.sourceDescription(), reviewFolder);

    session.load(manifest);
    EXPECT_FALSE(session.errorMessage());
    EXPECT_EQ(session.filter(), ReviewSession::Filter::pending);
}

TEST_F(ManifestFixture, HugeOrSpecialFilesAreRefusedWithoutHarm) {
    const std::string huge = dir.write("huge.json", "");
    fs::resize_file(huge, std::uintmax_t(300) << 20);
    const std::string pipe = dir.path("pipe.json");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& path : {huge, pipe, dir.mkdir("folder.json"), std::string()}) {
        ReviewSession opened;
        opened.load(path);
        ASSERT_TRUE(opened.errorMessage()) << path;
        EXPECT_TRUE(opened.errorMessage()->starts_with("Could not read that manifest: "));
        EXPECT_FALSE(opened.isLoaded());
    }
}

TEST_F(ManifestFixture, StartupManifestComesFromTheEnvironment) {
    QProcessEnvironment environment;
    session.loadStartupManifest(environment);
    EXPECT_FALSE(session.isLoaded());
    EXPECT_FALSE(session.errorMessage());

    environment.insert("QUILLMERE_MANIFEST", "");
    session.loadStartupManifest(environment);
    EXPECT_TRUE(session.errorMessage()->starts_with("Could not read that manifest: "));

    environment.insert("QUILLMERE_MANIFEST", QString::fromStdString(manifest));
    session.loadStartupManifest(environment);
    EXPECT_EQ(session.items().size(), 3u);
    // Once a review is open the variable is not looked at again.
    environment.insert("QUILLMERE_MANIFEST", "/nowhere.json");
    session.loadStartupManifest(environment);
    EXPECT_FALSE(session.errorMessage());
}

TEST_F(ManifestFixture, RecordsOutsideTheReviewFolderAreNeverActedOn) {
    // A hand-edited manifest names a file of the user's as if it had been set aside, twice.
    const std::string keep = dir.write("Drive/mine/keep.jpg", "mine");
    const std::string elsewhere = dir.write("Drive/mine/photo.jpg", "mine");
    const MoveRecord outside{dir.path("Drive/restored.jpg"), elsewhere, 4, keep};
    session.load(writeManifest("_quillmere_manifest_29991231-235959.json", {outside, outside}));
    ASSERT_EQ(session.items().size(), 1u);

    session.mark(elsewhere, Decision::keep);
    applyAndWait(session, true);
    EXPECT_TRUE(session.item(elsewhere)->failureReason.starts_with("refused"));
    session.retryFailed();
    session.mark(elsewhere, Decision::discard);
    applyAndWait(session, true);
    EXPECT_EQ(session.item(elsewhere)->state, State::failed);

    EXPECT_TRUE(trash.requests().empty());
    EXPECT_EQ(readFile(elsewhere), "mine");
    EXPECT_FALSE(fs::exists(outside.from));
}

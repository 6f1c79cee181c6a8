// The review session: pairs formed from a scan, filters and counts, marking and the selection
// rules. Marks are saved into a state folder of the test's own.
#include "ModelTestSupport.h"
#include "fs/FileSystem.h"
#include "model/ReviewState.h"

#include <QSignalSpy>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
using Filter = ReviewSession::Filter;
using MediaFilter = ReviewSession::MediaFilter;

namespace {

class ReviewSessionFixture : public ::testing::Test {
  protected:
    void SetUp() override { ReviewState::setStateDirectoryOverride(dir.path("state")); }
    void TearDown() override { ReviewState::setStateDirectoryOverride(std::nullopt); }

    // Five pairs: three copies of one photo, one video, and a file of an unknown kind.
    void loadFive() {
        session.load(resultOf({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg", "c.jpg"}, "photo"),
                               writeGroup(dir, "keep.mov", {"d.mov"}, "video"),
                               writeGroup(dir, "keep.xyz", {"e.xyz"}, "other")}),
                     {dir.path()});
        ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
    }

    std::string id(const char* name) const { return dir.path(name); }
    std::vector<std::string> listed() const {
        std::vector<std::string> names;
        for (const auto& item : session.filtered())
            names.push_back(std::string(FileSystem::lastComponent(item.id)));
        return names;
    }

    TempDir dir;
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(ReviewSessionFixture, LoadTurnsEveryRedundantFileIntoAPair) {
    EXPECT_FALSE(session.isComplete());
    QSignalSpy selections(&session, &ReviewSession::selectionChanged);
    session.load(resultOf({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg", "c.jpg"}, "photo")}),
                 {dir.path("x"), dir.path("y")});
    ASSERT_EQ(session.items().size(), 3u);
    for (const auto& item : session.items()) {
        EXPECT_EQ(item.keepURL, id("keep.jpg"));
        EXPECT_EQ(item.candidateURL, item.id);
        EXPECT_EQ(item.sizeBytes, 5);
        EXPECT_EQ(item.state, State::pending);
        EXPECT_TRUE(std::holds_alternative<ReviewItem::InPlace>(item.origin));
    }
    EXPECT_TRUE(session.isLoaded());
    EXPECT_EQ(session.sourceDescription(), id("x") + ", " + id("y"));
    ASSERT_TRUE(session.scanSummary());
    EXPECT_EQ(session.scanSummary()->folderName(), "2 folders");
    // The first pair is selected on the next turn of the event loop, not during the load.
    EXPECT_EQ(selections.count(), 0);
    ASSERT_TRUE(waitUntil([&] { return session.selection() == id("a.jpg"); }));
    EXPECT_EQ(session.item(id("b.jpg"))->id, id("b.jpg"));
    EXPECT_FALSE(session.item(std::nullopt));
    EXPECT_FALSE(session.item(id("keep.jpg")));
}

TEST(ReviewSessionTest, FolderNameNamesOneRootOrCountsThem) {
    EXPECT_EQ((ReviewSession::ScanSummary{{"/Volumes/Photos"}, 0, 0}.folderName()), "Photos");
    EXPECT_EQ((ReviewSession::ScanSummary{{"/a", "/b", "/c"}, 0, 0}.folderName()), "3 folders");
    EXPECT_EQ((ReviewSession::ScanSummary{{}, 0, 0}.folderName()), "0 folders");
}

TEST_F(ReviewSessionFixture, FileDeletedBeforeLoadIsGoneAndDone) {
    auto group = writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, "photo");
    std::filesystem::remove(id("b.jpg"));
    session.load(resultOf({group}), {dir.path()});
    EXPECT_EQ(session.item(id("b.jpg"))->state, State::gone);
    EXPECT_EQ(session.goneCount(), 1);
    EXPECT_EQ(session.resolvedCount(), 1);
    EXPECT_EQ(session.bytesCleared(), 5);
    EXPECT_FALSE(session.isComplete());
    session.setFilter(Filter::resolved);
    EXPECT_EQ(listed(), Names{"b.jpg"});
}

TEST_F(ReviewSessionFixture, FiltersAndCountsFollowStateDecisionAndKind) {
    loadFive();
    EXPECT_EQ(ReviewSession::label(Filter::pending), "To review");
    EXPECT_EQ(ReviewSession::label(Filter::resolved), "Done");
    EXPECT_EQ(ReviewSession::label(MediaFilter::all), "All media");
    session.mark(id("a.jpg"), Decision::discard);
    session.mark(id("d.mov"), Decision::keep);

    EXPECT_EQ(listed(), (Names{"b.jpg", "c.jpg", "e.xyz"}));
    EXPECT_EQ(session.count(Filter::discard), 1);
    EXPECT_EQ(session.count(Filter::all), 5);
    EXPECT_EQ(session.undecidedCount(), 3);
    EXPECT_EQ(session.reclaimableBytes(), 5);
    EXPECT_EQ(session.markedForKeep().size(), 1u);
    EXPECT_TRUE(session.applyPlan().confirms);
    EXPECT_TRUE(session.applyPlan().removes);

    // An unknown extension counts as a photo.
    session.setMediaFilter(MediaFilter::photos);
    EXPECT_EQ(listed(), (Names{"b.jpg", "c.jpg", "e.xyz"}));
    session.setMediaFilter(MediaFilter::videos);
    EXPECT_EQ(session.count(Filter::pending), 0);
    EXPECT_EQ(session.count(Filter::keep), 1);
    EXPECT_EQ(session.mediaCount(MediaFilter::videos), 1);
    EXPECT_EQ(session.mediaCount(MediaFilter::photos), 4);
    // Counts other than count(for:) ignore the filters.
    EXPECT_EQ(session.undecidedCount(), 3);
}

TEST_F(ReviewSessionFixture, MarkingAnnouncesTheItemAndIgnoresUnknownIds) {
    loadFive();
    QSignalSpy itemSignals(&session, &ReviewSession::itemChanged);
    session.mark(id("c.jpg"), Decision::keep);
    ASSERT_EQ(itemSignals.count(), 1);
    EXPECT_EQ(itemSignals.at(0).at(0).toString().toStdString(), id("c.jpg"));
    EXPECT_EQ(session.item(id("c.jpg"))->decision, Decision::keep);

    const auto stateFile = *session.stateURL();
    std::filesystem::remove(stateFile);
    session.mark(id("nothing.jpg"), Decision::discard);
    EXPECT_FALSE(std::filesystem::exists(stateFile));
}

TEST_F(ReviewSessionFixture, MarkSelectionAndAdvanceUnderToReview) {
    loadFive();
    session.setSelection(id("b.jpg"));
    session.markSelectionAndAdvance(Decision::discard);
    EXPECT_EQ(session.selection(), id("c.jpg"));
    // The last listed pair hands the selection to the new last one.
    session.setSelection(id("e.xyz"));
    session.markSelectionAndAdvance(Decision::keep);
    EXPECT_EQ(session.selection(), id("d.mov"));
    for (const auto* name : {"a.jpg", "c.jpg"})
        session.mark(id(name), Decision::discard);
    session.markSelectionAndAdvance(Decision::discard);
    EXPECT_EQ(session.selection(), std::nullopt);
    EXPECT_TRUE(session.filtered().empty());
    // Nothing selected: nothing marked.
    session.markSelectionAndAdvance(Decision::keep);
    EXPECT_EQ(session.count(Filter::keep), 1);
}

TEST_F(ReviewSessionFixture, MarkSelectionAndAdvanceUnderAllKeepsThePair) {
    loadFive();
    session.setFilter(Filter::all);
    session.setSelection(id("c.jpg"));
    session.markSelectionAndAdvance(Decision::discard);
    EXPECT_EQ(session.selection(), id("c.jpg"));
    EXPECT_EQ(session.item(id("c.jpg"))->decision, Decision::discard);
}

TEST_F(ReviewSessionFixture, SelectNextClampsAtBothEnds) {
    loadFive();
    session.selectNext(-1);
    EXPECT_EQ(session.selection(), id("a.jpg"));
    session.selectNext(2);
    EXPECT_EQ(session.selection(), id("c.jpg"));
    session.selectNext(10);
    EXPECT_EQ(session.selection(), id("e.xyz"));
    session.setSelection(std::nullopt);
    session.selectNext(1);
    EXPECT_EQ(session.selection(), id("a.jpg"));

    session.setFilter(Filter::keep);
    session.selectNext(1);
    EXPECT_EQ(session.selection(), id("a.jpg")) << "an empty list leaves the selection alone";
    session.reconcileSelection();
    EXPECT_EQ(session.selection(), std::nullopt);
}

TEST_F(ReviewSessionFixture, MarkAllPendingTouchesOnlyPendingPairs) {
    loadFive();
    std::filesystem::remove(id("keep.xyz"));
    session.mark(id("e.xyz"), Decision::discard);
    session.mark(id("a.jpg"), Decision::keep);
    applyAndWait(session, true);
    ASSERT_EQ(session.item(id("e.xyz"))->state, State::failed);
    ASSERT_EQ(session.item(id("a.jpg"))->state, State::kept);

    session.mark(id("b.jpg"), Decision::keep);
    session.markAllPending(Decision::discard);
    EXPECT_EQ(session.item(id("b.jpg"))->decision, Decision::discard);
    EXPECT_EQ(session.item(id("a.jpg"))->decision, Decision::keep);
    EXPECT_EQ(session.markedForDiscard().size(), 3u);
    session.markAllPending(Decision::undecided);
    EXPECT_EQ(session.undecidedCount(), 3);
    EXPECT_EQ(session.item(id("e.xyz"))->decision, Decision::discard);
}

TEST_F(ReviewSessionFixture, RetryFailedListsFailedPairsAsMarkedRemove) {
    loadFive();
    std::filesystem::remove(id("keep.jpg"));
    for (const auto* name : {"b.jpg", "c.jpg"})
        session.mark(id(name), Decision::discard);
    applyAndWait(session, true);
    EXPECT_EQ(session.failedCount(), 2);
    EXPECT_EQ(session.item(id("b.jpg"))->failureReason, "the copy it duplicates is missing");

    session.retryFailed();
    EXPECT_EQ(session.failedCount(), 0);
    EXPECT_EQ(session.filter(), Filter::discard);
    EXPECT_EQ(listed(), (Names{"b.jpg", "c.jpg"}));
    EXPECT_EQ(session.selection(), id("b.jpg"));
    EXPECT_TRUE(session.item(id("b.jpg"))->failureReason.empty());
}

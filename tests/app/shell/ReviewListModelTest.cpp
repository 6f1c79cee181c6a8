// The rows of the review list: the filtered pairs in load order, moved one by one when single
// pairs change and rebuilt when the filter or the review changes.
#include "views/ReviewListModel.h"

#include "QtPrinting.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "model/ReviewState.h"
#include "scan/ScanResult.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::TempDir;
using Decision = ReviewItem::Decision;
using Filter = ReviewSession::Filter;

/// `count` pairs whose duplicates are dup<i>.<extension> under the folder, all on disk.
ScanResult pairs(const TempDir& dir, int count, const std::string& extension = "jpg") {
    ScanResult result;
    for (int i = 0; i < count; ++i) {
        DuplicateGroup group;
        group.size = 10;
        group.keep = dir.write("keep" + std::to_string(i) + "." + extension, "0123456789");
        group.remove = {dir.write("dup" + std::to_string(i) + "." + extension, "0123456789")};
        result.groups.push_back(group);
    }
    return result;
}

std::vector<std::string> rowIds(const ReviewListModel& model) {
    std::vector<std::string> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.push_back(model.index(row).data(ReviewListModel::idRole).toString().toStdString());
    return ids;
}

struct ListFixture {
    TempDir dir;
    ReviewSession session;
    ReviewListModel model{session};

    explicit ListFixture(int count) { session.load(pairs(dir, count), {dir.path()}); }

    std::string id(int i) const { return dir.path("dup" + std::to_string(i) + ".jpg"); }
};

TEST(ReviewListModelTest, ListsTheFilteredPairsInLoadOrderWithIdAndFileName) {
    ListFixture list(3);
    EXPECT_EQ(rowIds(list.model), (std::vector{list.id(0), list.id(1), list.id(2)}));
    EXPECT_EQ(list.model.index(1).data(Qt::DisplayRole).toString(), "dup1.jpg");
    EXPECT_EQ(list.model.rowOf(list.id(2)), 2);
    EXPECT_EQ(list.model.rowOf(list.dir.path("keep0.jpg")), -1);
    EXPECT_EQ(list.model.itemAt(0).keepURL, list.dir.path("keep0.jpg"));
}

TEST(ReviewListModelTest, MarkingRemovesOnlyThatRowAndKeepsTheOthersSelected) {
    ListFixture list(4);
    QPersistentModelIndex third = list.model.index(2);
    QSignalSpy resets(&list.model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&list.model, &QAbstractItemModel::rowsRemoved);

    list.session.mark(list.id(1), Decision::discard);
    list.model.sync();

    EXPECT_EQ(rowIds(list.model), (std::vector{list.id(0), list.id(2), list.id(3)}));
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.first().at(1).toInt(), 1);
    EXPECT_EQ(removed.first().at(2).toInt(), 1);
    // A view's selection rides on persistent indexes: the pair below moved up with its row.
    EXPECT_EQ(third.row(), 1);
}

TEST(ReviewListModelTest, PairsEnteringTheFilterAreInsertedWhereLoadOrderPutsThem) {
    ListFixture list(5);
    list.session.setFilter(Filter::discard);
    ASSERT_EQ(list.model.rowCount(), 0);
    QSignalSpy inserted(&list.model, &QAbstractItemModel::rowsInserted);

    list.session.mark(list.id(3), Decision::discard);
    list.model.sync();
    list.session.mark(list.id(0), Decision::discard);
    list.session.mark(list.id(4), Decision::discard);
    list.session.mark(list.id(1), Decision::discard);
    list.model.sync();

    EXPECT_EQ(rowIds(list.model), (std::vector{list.id(0), list.id(1), list.id(3), list.id(4)}));
    EXPECT_EQ(inserted.count(), 3);
}

TEST(ReviewListModelTest, RemovalsAndInsertionsOfOneTurnAreTakenInTogether) {
    ListFixture list(6);
    list.session.setFilter(Filter::discard);
    for (int i : {0, 2, 4})
        list.session.mark(list.id(i), Decision::discard);
    list.model.sync();

    // Within one turn two pairs leave and two enter; the rows follow on the next turn.
    list.session.mark(list.id(0), Decision::keep);
    list.session.mark(list.id(1), Decision::discard);
    list.session.mark(list.id(4), Decision::undecided);
    list.session.mark(list.id(5), Decision::discard);
    QSignalSpy synced(&list.model, &ReviewListModel::synced);
    ASSERT_TRUE(testing::waitUntil([&] { return synced.count() == 1; }));

    EXPECT_EQ(rowIds(list.model), (std::vector{list.id(1), list.id(2), list.id(5)}));
}

TEST(ReviewListModelTest, ChangedMarkOfAListedPairRepaintsItsRow) {
    ListFixture list(3);
    list.session.setFilter(Filter::all);
    QSignalSpy changed(&list.model, &QAbstractItemModel::dataChanged);
    list.session.mark(list.id(1), Decision::keep);
    list.model.sync();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).value<QModelIndex>().row(), 1);
    EXPECT_EQ(list.model.rowCount(), 3);
}

TEST(ReviewListModelTest, FilterAndReviewChangesRebuildTheRows) {
    ListFixture list(3);
    QSignalSpy resets(&list.model, &QAbstractItemModel::modelReset);
    list.session.setFilter(Filter::keep);
    EXPECT_EQ(list.model.rowCount(), 0);
    list.session.setFilter(Filter::all);
    EXPECT_EQ(list.model.rowCount(), 3);
    list.session.markAllPending(Decision::discard);
    list.session.setMediaFilter(ReviewSession::MediaFilter::videos);
    EXPECT_EQ(list.model.rowCount(), 0);
    EXPECT_EQ(resets.count(), 4);

    TempDir other;
    list.session.load(pairs(other, 2, "mov"), {other.path()});
    EXPECT_EQ(rowIds(list.model), (std::vector{other.path("dup0.mov"), other.path("dup1.mov")}));
}

TEST(ReviewListModelTest, ManyChangesAtOnceRebuildInsteadOfMovingEachRow) {
    // Marks are saved after each change; a state folder that cannot be made spares the writes.
    TempDir state;
    ReviewState::setStateDirectoryOverride(state.write("not-a-folder", ""));
    ListFixture list(1100);
    ReviewState::setStateDirectoryOverride(std::nullopt);
    list.session.setSelection(list.id(0));
    QSignalSpy resets(&list.model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&list.model, &QAbstractItemModel::rowsRemoved);
    for (int i = 0; i < 1100; ++i)
        list.session.mark(list.id(i), Decision::keep);
    list.model.sync();
    EXPECT_EQ(list.model.rowCount(), 0);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(removed.count(), 0);
}

} // namespace
} // namespace quillmere

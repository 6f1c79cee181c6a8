// The main window's texts that depend on counts: picker choices, the apply button and its alert,
// the empty-filter notice and the summaries.
#include "views/ReviewTexts.h"

#include "QtPrinting.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using Filter = ReviewSession::Filter;
using MediaFilter = ReviewSession::MediaFilter;

TEST(ReviewTextsTest, PickerChoicesPutTwoSpacesBeforeTheCount) {
    EXPECT_EQ(ReviewTexts::filterChoice(Filter::pending, 12), "To review  (12)");
    EXPECT_EQ(ReviewTexts::filterChoice(Filter::resolved, 0), "Done  (0)");
    EXPECT_EQ(ReviewTexts::mediaChoice(MediaFilter::all, 3), "All media  (3)");
    EXPECT_EQ(ReviewTexts::mediaChoice(MediaFilter::videos, 20000), "Videos  (20000)");
    EXPECT_EQ(ReviewTexts::mediaSymbol(MediaFilter::all), "square.on.square");
    EXPECT_EQ(ReviewTexts::mediaSymbol(MediaFilter::photos), "photo");
    EXPECT_EQ(ReviewTexts::mediaSymbol(MediaFilter::videos), "film");
}

TEST(ReviewTextsTest, ApplyButtonNamesRemovalsBeforeKeeps) {
    EXPECT_EQ(ReviewTexts::applyButtonTitle(1, 0), "Remove 1 file…");
    EXPECT_EQ(ReviewTexts::applyButtonTitle(3, 5), "Remove 3 files…");
    EXPECT_EQ(ReviewTexts::applyButtonTitle(0, 2), "Apply 2 decisions");
    EXPECT_EQ(ReviewTexts::applyButtonTitle(0, 1), "Apply 1 decision");
    EXPECT_EQ(ReviewTexts::applyButtonTitle(0, 0), "Apply 0 decisions");
}

TEST(ReviewTextsTest, RemovalAlertHasOneParagraphWithLiteralDuplicateCount) {
    const auto alert = ReviewTexts::applyAlert(true, 1, 1536, 0);
    EXPECT_EQ(alert.title, "Move to Trash?");
    EXPECT_EQ(alert.confirmButton, "Move to Trash");
    EXPECT_TRUE(alert.destructive);
    EXPECT_EQ(alert.message,
              "1 duplicate(s) — 1.5 KB — go to the Trash, and stay recoverable from there until "
              "you empty it. Each one is re-checked byte for byte against the copy being kept "
              "immediately before it goes.");
}

TEST(ReviewTextsTest, KeepOnlyAlertIsEmptyUnlessSetAsideFilesGoBack) {
    const auto inPlace = ReviewTexts::applyAlert(false, 0, 0, 0);
    EXPECT_EQ(inPlace.title, "Apply decisions?");
    EXPECT_EQ(inPlace.confirmButton, "Apply");
    EXPECT_FALSE(inPlace.destructive);
    EXPECT_EQ(inPlace.message, "");

    EXPECT_EQ(ReviewTexts::applyAlert(false, 0, 0, 1).message,
              "1 file goes back to its original folder.");
    EXPECT_EQ(ReviewTexts::applyAlert(false, 0, 0, 3).message,
              "3 files go back to their original folders.");
}

TEST(ReviewTextsTest, RemovalAndPutBackParagraphsAreSeparatedByAnEmptyLine) {
    const auto alert = ReviewTexts::applyAlert(true, 2, 2048, 2);
    EXPECT_TRUE(alert.message.startsWith("2 duplicate(s) — 2.0 KB — go to the Trash"));
    EXPECT_TRUE(alert.message.endsWith("before it goes.\n\n2 files go back to their original "
                                       "folders."));
}

TEST(ReviewTextsTest, MediaFilterNoticeNamesTheOtherKindWithItsCount) {
    const auto videos = ReviewTexts::emptyFilterNotice(MediaFilter::videos, true, 3, 3);
    EXPECT_EQ(videos.title, "No duplicate videos");
    EXPECT_EQ(videos.symbol, "film");
    EXPECT_EQ(videos.message, "This scan found no duplicate videos — only 3 duplicate photos. "
                              "Choose All media to see them.");

    const auto photos = ReviewTexts::emptyFilterNotice(MediaFilter::photos, true, 1, 0);
    EXPECT_EQ(photos.title, "No duplicate photos");
    EXPECT_EQ(photos.symbol, "photo");
    EXPECT_EQ(photos.message, "This scan found no duplicate photos — only 1 duplicate video. "
                              "Choose All media to see them.");
}

TEST(ReviewTextsTest, StatusFilterNoticeCountsUndecidedPairs) {
    const auto four = ReviewTexts::emptyFilterNotice(MediaFilter::all, false, 4, 4);
    EXPECT_EQ(four.title, "Nothing in this filter");
    EXPECT_EQ(four.symbol, "line.3.horizontal.decrease.circle");
    EXPECT_EQ(four.message, "4 pairs still need a decision — switch the filter to \"To review\".");
    EXPECT_EQ(ReviewTexts::emptyFilterNotice(MediaFilter::all, false, 4, 1).message,
              "1 pair still needs a decision — switch the filter to \"To review\".");
    EXPECT_EQ(ReviewTexts::emptyFilterNotice(MediaFilter::photos, false, 4, 0).message,
              "Every pair has a decision. Press Apply to carry them out.");
}

TEST(ReviewTextsTest, ScanningCaptionCountsWholeSecondsFromOne) {
    EXPECT_EQ(ReviewTexts::scanningCaption(0), "Read-only — nothing is changed by scanning.");
    EXPECT_EQ(ReviewTexts::scanningCaption(0.99), "Read-only — nothing is changed by scanning.");
    EXPECT_EQ(ReviewTexts::scanningCaption(1), "1s elapsed · read-only, nothing is changed");
    EXPECT_EQ(ReviewTexts::scanningCaption(12.9), "12s elapsed · read-only, nothing is changed");
}

TEST(ReviewTextsTest, SummariesGroupCountsAndRoundDurations) {
    EXPECT_EQ(ReviewTexts::checkedSummary(12345, "Photos"),
              "Checked 12,345 photos and videos in Photos.");
    EXPECT_EQ(ReviewTexts::tookSummary(4.24), "Took 4.2s. Nothing was changed.");
    EXPECT_EQ(ReviewTexts::tookSummary(0), "Took 0.0s. Nothing was changed.");
    EXPECT_EQ(ReviewTexts::allDealtWith(12),
              "All 12 duplicates from this scan have been dealt with.");
}

TEST(ReviewTextsTest, DurationsKeepAPointInLocalesWithADecimalComma) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ReviewTexts::tookSummary(4.21), "Took 4.2s. Nothing was changed.");
    EXPECT_EQ(ReviewTexts::checkedSummary(1234, "3 folders"),
              "Checked 1.234 photos and videos in 3 folders.");
    QLocale::setDefault(before);
}

} // namespace
} // namespace quillmere

// The main window's texts that depend on counts: picker choices, the apply button and its alert,
// the empty-filter notice, the scanning caption and the summaries.
#include "views/ReviewTexts.h"

#include "QtPrinting.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace ReviewTexts;
using MediaFilter = ReviewSession::MediaFilter;

TEST(ReviewTextsTest, CountedTexts) {
    const std::pair<QString, QString> rows[] = {
        {mediaChoice(MediaFilter::videos, 20000), "Videos  (20000)"},
        {applyButtonTitle(1, 0), "Remove 1 file…"},
        {applyButtonTitle(3, 5), "Remove 3 files…"},
        {applyButtonTitle(0, 1), "Apply 1 decision"},
        {scanningCaption(0.99), "Read-only — nothing is changed by scanning."},
        {scanningCaption(12.9), "12s elapsed · read-only, nothing is changed"},
        {checkedSummary(12345, "Photos"), "Checked 12,345 photos and videos in Photos."},
        {tookSummary(4.24), "Took 4.2s. Nothing was changed."},
        {allDealtWith(12), "All 12 duplicates from this scan have been dealt with."},
        {toReview(3), "3 to review"},
        {reclaimable(1536), "1.5 KB reclaimable"},
    };
    for (const auto& [actual, expected] : rows)
        EXPECT_EQ(actual, expected);
}

TEST(ReviewTextsTest, ApplyAlerts) {
    const QString removal = "2 duplicate(s) — 2.0 KB — go to the Trash, and stay recoverable from "
                            "there until you empty it. Each one is re-checked byte for byte "
                            "against the copy being kept immediately before it goes.";
    const std::pair<ApplyAlert, ApplyAlert> rows[] = {
        {applyAlert(true, 2, 2048, 3),
         {"Move to Trash?", "Move to Trash", true,
          removal + "\n\n3 files go back to their original folders."}},
        {applyAlert(false, 0, 0, 0), {"Apply decisions?", "Apply", false, ""}},
        {applyAlert(false, 0, 0, 1),
         {"Apply decisions?", "Apply", false, "1 file goes back to its original folder."}},
    };
    for (const auto& [actual, expected] : rows)
        EXPECT_EQ(actual, expected) << expected.message.toStdString();
}

TEST(ReviewTextsTest, EmptyFilterNotices) {
    const QString other = "Nothing in this filter", symbol = "line.3.horizontal.decrease.circle";
    const std::pair<Notice, Notice> rows[] = {
        {emptyFilterNotice(MediaFilter::videos, true, 3, 3),
         {"No duplicate videos", "film",
          "This scan found no duplicate videos — only 3 duplicate photos. Choose All media to "
          "see them."}},
        {emptyFilterNotice(MediaFilter::photos, true, 1, 0),
         {"No duplicate photos", "photo",
          "This scan found no duplicate photos — only 1 duplicate video. Choose All media to see "
          "them."}},
        {emptyFilterNotice(MediaFilter::all, false, 4, 4),
         {other, symbol, "4 pairs still need a decision — switch the filter to \"To review\"."}},
        {emptyFilterNotice(MediaFilter::all, false, 4, 1),
         {other, symbol, "1 pair still needs a decision — switch the filter to \"To review\"."}},
        {emptyFilterNotice(MediaFilter::photos, false, 4, 0),
         {other, symbol, "Every pair has a decision. Press Apply to carry them out."}},
    };
    for (const auto& [actual, expected] : rows)
        EXPECT_EQ(actual, expected) << expected.message.toStdString();
}

TEST(ReviewTextsTest, DurationsKeepAPointInLocalesWithADecimalComma) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(tookSummary(4.21), "Took 4.2s. Nothing was changed.");
    EXPECT_EQ(checkedSummary(1234, "3 folders"), "Checked 1.234 photos and videos in 3 folders.");
    QLocale::setDefault(before);
}

} // namespace
} // namespace quillmere

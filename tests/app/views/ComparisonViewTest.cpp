// The comparison of a pair and its two panes, with the texts they show: marking with the buttons
// and with K and D, the mark and failure lines, a missing file.
#include "views/ComparisonView.h"

#include "model/ReviewSession.h"
#include "report/ReportWriter.h"
#include "shell/ShellTestSupport.h"
#include "views/FilePane.h"

#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;

namespace {

/// A comparison of three pairs as loaded; the session's Trash is the test home's.
class ComparisonViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.load(smallPairs(dir, 3), {dir.path()});
        ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
        view.resize(1000, 700);
        view.show();
        view.showItem(*session.item(session.selection()));
    }
    const ReviewItem& item(std::size_t index) const { return session.items().at(index); }
    QString text(const char* name) const { return textOf(view, name); }
    QAbstractButton& button(const char* name) { return *view.findChild<QAbstractButton*>(name); }

    TempDir dir;
    ReviewSession session;
    ComparisonView view{session};
};

} // namespace

TEST_F(ComparisonViewTest, ShowsTheKeptCopyLeftTheDuplicateRightAndTheMark) {
    const std::pair<const char*, QString> texts[] = {
        {"name", "keep0.jpg"},
        {"size", QString::fromStdString(ReportWriter::humanSize(13))},
        {"verified", "Verified identical"},
        {"keepButton", "Keep both  (K)"},
        {"discardButton", "Mark for removal  (D)"},
        {"decisionLabel", "Not yet marked"},
    };
    for (const auto& [name, expected] : texts)
        EXPECT_EQ(text(name), expected) << name;
    EXPECT_EQ(button("keepButton").toolTip(), "Leave this file exactly where it is");
    EXPECT_EQ(button("discardButton").toolTip(),
              "Mark this copy to go to the Trash when you apply");
    EXPECT_EQ(view.leftPane()->url().toStdString(), item(0).keepURL);
    EXPECT_EQ(view.rightPane()->url().toStdString(), item(0).candidateURL);
    EXPECT_EQ(textOf(*view.leftPane(), "roleCaption"), "Keeping this one");
    EXPECT_EQ(textOf(*view.rightPane(), "roleCaption"), "Duplicate");
    const std::pair<Decision, QString> marks[] = {
        {Decision::discard, "Marked for removal — press K to change your mind"},
        {Decision::keep, "Marked keep — this file stays where it is"},
        {Decision::undecided, "Not yet marked"},
    };
    for (const auto& [decision, expected] : marks) {
        session.mark(item(0).id, decision);
        EXPECT_EQ(text("decisionLabel"), expected);
    }
}

TEST_F(ComparisonViewTest, ButtonsAndKeysMarkAndMoveOnWithoutTouchingTheDisk) {
    QTest::mouseClick(&button("discardButton"), Qt::LeftButton);
    EXPECT_EQ(view.rightPane()->url().toStdString(), item(1).candidateURL);
    // K from a button inside the comparison too, also on a pair marked for removal; with a
    // modifier the keys do nothing here.
    button("keepButton").setFocus();
    QTest::keyClick(&button("keepButton"), Qt::Key_K);
    QTest::keyClick(&button("keepButton"), Qt::Key_D, Qt::ControlModifier);
    session.setSelection(item(0).id);
    QTest::keyClick(&button("keepButton"), Qt::Key_K);
    EXPECT_TRUE(item(0).decision == Decision::keep && item(1).decision == Decision::keep);
    EXPECT_EQ(item(2).decision, Decision::undecided);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exists(item(i).candidateURL));
    EXPECT_TRUE(trashedPaths().empty());
}

TEST_F(ComparisonViewTest, FailedOrMissingPairSaysWhyAndCanStillBeMarked) {
    session.mark(item(0).id, Decision::discard);
    std::filesystem::remove(item(0).keepURL);
    session.apply(true);
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    ASSERT_EQ(item(0).state, ReviewItem::State::failed);
    session.setFilter(ReviewSession::Filter::failed);
    session.setSelection(item(0).id);
    EXPECT_FALSE(view.findChild<QWidget*>("decisionLabel")->isVisible());
    EXPECT_EQ(text("failureLabel").toStdString(), "Left alone — " + item(0).failureReason);
    EXPECT_EQ(text("failurePath").toStdString(), item(0).candidateURL);
    QTest::mouseClick(&button("keepButton"), Qt::LeftButton);
    EXPECT_EQ(item(0).decision, Decision::keep);
    EXPECT_EQ(item(0).state, ReviewItem::State::failed);
    // The side whose file is gone says so, and still names it.
    session.setSelection(item(0).id);
    ASSERT_TRUE(waitUntil([&] { return view.leftPane()->findChild<QWidget*>("fileNotFound"); }));
    EXPECT_EQ(textOf(*view.leftPane(), "title"), "File not found");
    EXPECT_EQ(textOf(*view.leftPane(), "description"),
              "It may have been moved or deleted outside Quillmere.");
    EXPECT_EQ(textOf(*view.leftPane(), "path").toStdString(), item(0).keepURL);
    EXPECT_FALSE(view.rightPane()->findChild<QWidget*>("fileNotFound"));
}

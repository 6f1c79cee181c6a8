// The comparison of a pair and its two panes, with the texts they show: marking with the buttons
// and with K and D, the mark and failure lines and the seal, a missing file, a video's frame.
#include "views/ComparisonView.h"

#include "model/ReviewSession.h"
#include "model/Trash.h"
#include "report/ReportWriter.h"
#include "scan/CloudStatus.h"
#include "shell/ShellTestSupport.h"
#include "views/FilePane.h"
#include "views/PreviewImage.h"

#include <QMediaPlayer>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;

namespace {

/// The test home's Trash, refusing the paths it is told to.
struct RefusingTrash final : Trash {
    std::optional<std::string> moveToTrash(const std::string& path) const override {
        return refused.count(path) ? "refused by the test" : Trash::platform().moveToTrash(path);
    }
    std::set<std::string> refused;
};

/// A comparison of four pairs as loaded.
class ComparisonViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.load(smallPairs(dir, 4), {dir.path()});
        ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
        view.resize(1000, 700);
        view.show();
        view.showItem(*session.item(session.selection()));
    }
    const ReviewItem& item(std::size_t index) const { return session.items().at(index); }
    QString text(const char* name) const { return textOf(view, name); }
    QAbstractButton& button(const char* name) { return *view.findChild<QAbstractButton*>(name); }

    TempDir dir;
    RefusingTrash trash;
    ReviewSession session{trash, CloudStatus::platform()};
    ComparisonView view{session};
};

} // namespace

TEST_F(ComparisonViewTest, ShowsAndMarksThePairWithoutTouchingTheDisk) {
    EXPECT_EQ(text("name"), "keep0.jpg");
    EXPECT_EQ(text("size").toStdString(), ReportWriter::humanSize(13));
    EXPECT_EQ(view.leftPane()->url().toStdString(), item(0).keepURL);
    EXPECT_EQ(view.rightPane()->url().toStdString(), item(0).candidateURL);
    const std::pair<Decision, QString> marks[] = {
        {Decision::discard, "Marked for removal — press K to change your mind"},
        {Decision::keep, "Marked keep — this file stays where it is"},
        {Decision::undecided, "Not yet marked"},
    };
    for (const auto& [decision, expected] : marks) {
        session.mark(item(0).id, decision);
        EXPECT_EQ(text("decisionLabel"), expected);
    }
    // The buttons and K and D mark the pair on screen and move on; Ctrl+D does nothing here, and
    // nothing on disk changes.
    QTest::mouseClick(&button("discardButton"), Qt::LeftButton);
    EXPECT_EQ(view.rightPane()->url().toStdString(), item(1).candidateURL);
    button("keepButton").setFocus();
    QTest::keyClick(&button("keepButton"), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(&button("keepButton"), Qt::Key_K);
    session.setSelection(item(0).id);
    QTest::keyClick(&button("keepButton"), Qt::Key_K);
    EXPECT_TRUE(item(0).decision == Decision::keep && item(1).decision == Decision::keep);
    EXPECT_TRUE(exists(item(0).candidateURL) && trashedPaths().empty());
}

TEST_F(ComparisonViewTest, FailedPairSaysWhyKeepsTheSealOnlyIfStillIdenticalAndCanBeMarked) {
    dir.write("keep0.jpg", "edited  0.jpg");       // apart
    std::filesystem::remove(item(1).keepURL);      // apart
    std::filesystem::remove(item(2).candidateURL); // the kept file under another name
    std::filesystem::create_hard_link(item(2).keepURL, item(2).candidateURL);
    trash.refused.insert(item(3).candidateURL);
    session.markAllPending(Decision::discard);
    session.apply(true);
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    session.setFilter(ReviewSession::Filter::failed);
    const std::pair<int, bool> sealedAfterFailing[] = {
        {0, false}, {1, false}, {2, true}, {3, true}};
    for (const auto& [i, sealed] : sealedAfterFailing) {
        ASSERT_EQ(item(i).state, ReviewItem::State::failed) << i;
        session.setSelection(item(i).id);
        EXPECT_EQ(view.findChild<QWidget*>("verified")->isVisibleTo(&view), sealed) << i;
        EXPECT_FALSE(view.findChild<QWidget*>("decisionLabel")->isVisible());
        EXPECT_EQ(text("failureLabel").toStdString(), "Left alone — " + item(i).failureReason);
        EXPECT_EQ(text("failurePath").toStdString(), item(i).candidateURL);
    }
    QTest::mouseClick(&button("keepButton"), Qt::LeftButton);
    EXPECT_EQ(item(3).decision, Decision::keep);
    EXPECT_EQ(item(3).state, ReviewItem::State::failed);
    // The side whose file is gone says so, and still names it.
    session.setSelection(item(1).id);
    ASSERT_TRUE(waitUntil([&] { return view.leftPane()->findChild<QWidget*>("fileNotFound"); }));
    EXPECT_EQ(textOf(*view.leftPane(), "path").toStdString(), item(1).keepURL);
    EXPECT_FALSE(view.rightPane()->findChild<QWidget*>("fileNotFound"));
}

TEST_F(ComparisonViewTest, VideoPanesShowAFrameBeforeAnythingPlays) {
    ClipSpec clip;
    clip.picture = [](int, QSize size) { return twoHalves(size, Qt::red, Qt::red); };
    writeVideo(QString::fromStdString(dir.path("clip.mp4")), clip);
    std::filesystem::copy_file(dir.path("clip.mp4"), dir.path("clip copy.mp4"));
    ScanResult video;
    video.groups = {{MediaKind::video, 1, dir.path("clip.mp4"), {dir.path("clip copy.mp4")}}};
    session.load(video, {dir.path()});
    ASSERT_TRUE(waitUntil([&] { return view.item() && view.item()->id.ends_with("copy.mp4"); }));
    // The frame shows at once, and stays as the player's stand-in once the players come.
    const auto showsFrame = [&](FilePane* pane, const char* name) {
        auto* picture = pane->findChild<PreviewImage*>(name);
        return picture && picture->isVisibleTo(&view) &&
               waitUntil([&] { return !picture->isLoading(); }) && !picture->image().isNull() &&
               near(picture->image().pixelColor(picture->image().rect().center()), Qt::red);
    };
    EXPECT_TRUE(showsFrame(view.leftPane(), "") && showsFrame(view.rightPane(), ""));
    ASSERT_TRUE(waitUntil([&] { return view.leftPlayer() && view.rightPlayer(); }));
    EXPECT_TRUE(showsFrame(view.leftPane(), "poster") && showsFrame(view.rightPane(), "poster"));
    EXPECT_EQ(view.leftPlayer()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_EQ(view.rightPlayer()->playbackState(), QMediaPlayer::StoppedState);
}

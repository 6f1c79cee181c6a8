// The comparison of a pair: marking with the buttons and with K and D, the mark and failure
// labels, the panes of a scanned and of a set-aside pair, and the players of a video pair.
#include "views/ComparisonView.h"

#include "MediaFixtures.h"
#include "model/ModelTestSupport.h"
#include "move/Mover.h"
#include "report/ReportWriter.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"
#include "views/FilePane.h"
#include "views/Labels.h"

#include <QAction>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;

namespace {

QString decisionText(const ComparisonView& view) {
    return view.findChild<SymbolLabel*>("decisionLabel")->text();
}

QPushButton* button(const ComparisonView& view, const char* name) {
    return view.findChild<QPushButton*>(name);
}

class ComparisonFixture : public ::testing::Test {
  protected:
    /// Three photo pairs, shown in a window with a list beside the comparison, as in the app.
    void loadPhotos() {
        std::vector<DuplicateGroup> groups;
        for (int i = 0; i < 3; ++i) {
            const std::string name = "IMG_" + std::to_string(i) + ".jpg";
            groups.push_back(
                writeGroup(dir, "Keep/" + name, {"Trip/" + name}, randomBytes(1000 + 100 * i, i)));
        }
        session.load(resultOf(groups), {dir.path()});
        ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
    }

    void showView() {
        window.resize(1000, 700);
        window.show();
        if (const auto selected = session.item(session.selection()))
            view->showItem(*selected);
    }

    const ReviewItem& item(std::size_t index) const { return session.items().at(index); }

    TempDir dir;
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
    QWidget window;
    QLineEdit* elsewhere = new QLineEdit(&window);
    ComparisonView* view = [this] {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(elsewhere);
        auto* comparison = new ComparisonView(session, &window);
        layout->addWidget(comparison, 1);
        return comparison;
    }();
};

} // namespace

TEST_F(ComparisonFixture, HeaderNamesTheKeptFileAndItsSize) {
    loadPhotos();
    showView();
    EXPECT_EQ(view->findChild<ElidedLabel*>("name")->fullText(), "IMG_0.jpg");
    EXPECT_EQ(view->findChild<QLabel*>("size")->text(),
              QString::fromStdString(ReportWriter::humanSize(1000)));
    auto* verified = view->findChild<SymbolLabel*>("verified");
    EXPECT_EQ(verified->text(), "Verified identical");
    EXPECT_EQ(verified->symbol(), "checkmark.seal.fill");
    EXPECT_EQ(verified->colour(), Palette::Role::green);
    EXPECT_EQ(verified->toolTip(), "Every byte of these two files was compared and matched.");
    EXPECT_FALSE(view->findChild<QLabel*>("kindSymbol")->pixmap().isNull());
}

TEST_F(ComparisonFixture, PanesShowKeptLeftAndDuplicateRight) {
    loadPhotos();
    showView();
    ASSERT_TRUE(view->leftPane() && view->rightPane());
    EXPECT_EQ(view->leftPane()->url().toStdString(), item(0).keepURL);
    EXPECT_EQ(view->rightPane()->url().toStdString(), item(0).candidateURL);
    EXPECT_TRUE(std::holds_alternative<FilePane::Kept>(view->leftPane()->role()));
    EXPECT_EQ(view->rightPane()->role(), FilePane::Role(FilePane::Duplicate{}));
    // Two halves with a one-point line between them.
    EXPECT_LE(std::abs(view->leftPane()->width() - view->rightPane()->width()), 1);
    EXPECT_EQ(view->rightPane()->x() - view->leftPane()->geometry().right() - 1, 1);
    // The line is the separator colour; the panes keep the window background.
    const QImage picture = view->grab().toImage();
    const QPoint line = view->leftPane()->mapTo(view, QPoint(view->leftPane()->width(), 20));
    EXPECT_EQ(picture.pixelColor(line), Palette::separator(view->palette()));
    EXPECT_EQ(view->leftPane()->palette().color(QPalette::Window),
              window.palette().color(QPalette::Window));
}

TEST_F(ComparisonFixture, DecisionButtonsMarkAndAdvance) {
    loadPhotos();
    showView();
    EXPECT_EQ(button(*view, "keepButton")->text(), "Keep both  (K)");
    EXPECT_EQ(button(*view, "keepButton")->toolTip(), "Leave this file exactly where it is");
    EXPECT_EQ(button(*view, "discardButton")->text(), "Mark for removal  (D)");
    EXPECT_EQ(button(*view, "discardButton")->toolTip(),
              "Mark this copy to go to the Trash when you apply");

    QTest::mouseClick(button(*view, "discardButton"), Qt::LeftButton);
    EXPECT_EQ(item(0).decision, Decision::discard);
    EXPECT_EQ(session.selection(), item(1).id);
    EXPECT_EQ(view->item()->id, item(1).id);
    EXPECT_EQ(view->rightPane()->url().toStdString(), item(1).candidateURL);

    QTest::mouseClick(button(*view, "keepButton"), Qt::LeftButton);
    EXPECT_EQ(item(1).decision, Decision::keep);
    EXPECT_EQ(session.selection(), item(2).id);
    // Nothing on disk changed.
    EXPECT_TRUE(std::filesystem::exists(item(0).candidateURL));
    EXPECT_TRUE(trash.requests().empty());
}

TEST_F(ComparisonFixture, KeysKAndDMarkAndAdvance) {
    loadPhotos();
    showView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_D);
    EXPECT_EQ(item(0).decision, Decision::discard);
    EXPECT_EQ(session.selection(), item(1).id);
    // From a button inside the comparison too.
    button(*view, "keepButton")->setFocus();
    QTest::keyClick(button(*view, "keepButton"), Qt::Key_K);
    EXPECT_EQ(item(1).decision, Decision::keep);
    EXPECT_EQ(session.selection(), item(2).id);
    // With a modifier the keys do nothing here.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(item(2).decision, Decision::undecided);
}

TEST_F(ComparisonFixture, KeysWorkBesideAWindowShortcutForTheSameKey) {
    // The app's Review menu carries K and D as well; two shortcuts for one key would cancel
    // each other out, so inside the comparison the keys are taken before shortcuts are looked at.
    loadPhotos();
    int menuKeeps = 0;
    QAction menuKeep(&window);
    menuKeep.setShortcut(Qt::Key_K);
    window.addAction(&menuKeep);
    QObject::connect(&menuKeep, &QAction::triggered, [&] {
        ++menuKeeps;
        session.markSelectionAndAdvance(Decision::keep);
    });
    showView();
    QApplication::setActiveWindow(&window);
    button(*view, "discardButton")->setFocus();
    QTest::keyClick(button(*view, "discardButton"), Qt::Key_K);
    EXPECT_EQ(item(0).decision, Decision::keep);
    EXPECT_EQ(menuKeeps, 0);
    EXPECT_EQ(session.selection(), item(1).id);

    // Outside the comparison the window's shortcut answers.
    elsewhere->setFocus();
    QTest::keyClick(&window, Qt::Key_K);
    EXPECT_EQ(menuKeeps, 1);
    EXPECT_EQ(item(1).decision, Decision::keep);
}

TEST_F(ComparisonFixture, DecisionLabelFollowsTheMark) {
    loadPhotos();
    showView();
    auto* label = view->findChild<SymbolLabel*>("decisionLabel");
    EXPECT_EQ(decisionText(*view), "Not yet marked");
    EXPECT_TRUE(label->symbol().isEmpty());
    EXPECT_EQ(label->colour(), Palette::Role::secondary);

    session.mark(item(0).id, Decision::discard);
    EXPECT_EQ(decisionText(*view),
              QString::fromUtf8("Marked for removal — press K to change your mind"));
    EXPECT_EQ(label->symbol(), "trash.circle.fill");
    EXPECT_EQ(label->colour(), Palette::Role::red);
    EXPECT_EQ(label->textLabel().font().weight(), QFont::Medium);

    session.mark(item(0).id, Decision::keep);
    EXPECT_EQ(decisionText(*view), QString::fromUtf8("Marked keep — this file stays where it is"));
    EXPECT_EQ(label->symbol(), "checkmark.circle.fill");
    EXPECT_EQ(label->colour(), Palette::Role::green);

    session.mark(item(0).id, Decision::undecided);
    EXPECT_EQ(decisionText(*view), "Not yet marked");
    EXPECT_EQ(label->textLabel().font().weight(), QFont::Normal);
    EXPECT_FALSE(view->findChild<QWidget*>("failure")->isVisible());
}

TEST_F(ComparisonFixture, KOnAPairMarkedForRemovalMarksItKeep) {
    loadPhotos();
    session.mark(item(0).id, Decision::discard);
    session.mark(item(1).id, Decision::discard);
    session.setFilter(ReviewSession::Filter::discard);
    session.setSelection(item(0).id);
    showView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_K);
    EXPECT_EQ(item(0).decision, Decision::keep);
    EXPECT_EQ(session.selection(), item(1).id);
    session.setSelection(item(0).id);
    EXPECT_EQ(decisionText(*view), QString::fromUtf8("Marked keep — this file stays where it is"));
}

TEST_F(ComparisonFixture, FailedPairShowsTheReasonAndThePath) {
    loadPhotos();
    trash.refuse(item(0).candidateURL);
    session.mark(item(0).id, Decision::discard);
    applyAndWait(session, true);
    ASSERT_EQ(item(0).state, State::failed);
    session.setFilter(ReviewSession::Filter::failed);
    session.setSelection(item(0).id);
    showView();
    EXPECT_FALSE(view->findChild<SymbolLabel*>("decisionLabel")->isVisible());
    ASSERT_TRUE(view->findChild<QWidget*>("failure")->isVisible());
    auto* label = view->findChild<SymbolLabel*>("failureLabel");
    EXPECT_EQ(label->text(), QString::fromUtf8("Left alone — refused by the test"));
    EXPECT_EQ(label->symbol(), "exclamationmark.triangle.fill");
    EXPECT_EQ(label->colour(), Palette::Role::orange);
    EXPECT_EQ(view->findChild<SelectableText*>("failurePath")->text(),
              QString::fromStdString(item(0).candidateURL));
    // The buttons still mark a pair that has a result; its state stays.
    EXPECT_TRUE(button(*view, "keepButton")->isEnabled());
    QTest::mouseClick(button(*view, "keepButton"), Qt::LeftButton);
    EXPECT_EQ(item(0).decision, Decision::keep);
    EXPECT_EQ(item(0).state, State::failed);
}

TEST_F(ComparisonFixture, PhotoPairHasNoPlaybackBarAndNoPlayers) {
    loadPhotos();
    showView();
    EXPECT_FALSE(view->findChild<QWidget*>("playbackBar")->isVisible());
    EXPECT_FALSE(view->leftPlayer());
    EXPECT_FALSE(view->rightPlayer());
    EXPECT_TRUE(view->findChildren<QMediaPlayer*>().isEmpty());
    view->playBoth();
}

TEST_F(ComparisonFixture, MissingFileShowsFileNotFoundAndButtonsStayUsable) {
    loadPhotos();
    std::filesystem::remove(item(0).keepURL);
    showView();
    auto* notice = view->leftPane()->findChild<QWidget*>("fileNotFound");
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_FALSE(view->rightPane()->findChild<QWidget*>("fileNotFound"));
    QTest::mouseClick(button(*view, "discardButton"), Qt::LeftButton);
    EXPECT_EQ(item(0).decision, Decision::discard);
}

TEST_F(ComparisonFixture, SetAsidePairShowsTheReviewFolderAndWhereItCameFrom) {
    const std::string drive = dir.mkdir("Drive");
    const std::string content = randomBytes(4000, 9);
    dir.write("Drive/keep.jpg", content);
    dir.write("Drive/Trip/copy.jpg", content);
    const auto result = DuplicateScanner(ScanConfig{{drive}, {}}).scan();
    const auto outcome =
        Mover({drive}, std::string(SkipRules::reviewDirectoryName)).move(result.groups);
    ASSERT_EQ(outcome.moved.size(), 1u);
    session.load(outcome.manifestURL().value());
    ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
    showView();

    const MoveRecord& record = outcome.moved[0];
    FilePane* right = view->rightPane();
    EXPECT_EQ(right->findChild<SymbolLabel*>("roleCaption")->text(), "In the review folder");
    EXPECT_EQ(right->findChild<SelectableText*>("path")->palette().color(QPalette::Text),
              Palette::color(Palette::Role::orange, right->palette()));
    EXPECT_EQ(right->findChild<SelectableText*>("originalPath")->text(),
              QString::fromStdString("Originally at  " + record.from));

    session.mark(item(0).id, Decision::keep);
    EXPECT_EQ(decisionText(*view),
              QString::fromUtf8("Marked keep — this copy goes back to the library"));
}

namespace {

/// Two byte-identical short clips, and whether this machine's Qt Multimedia can open them.
struct Clips {
    std::string keep, copy;
};

Clips writeClips(const TempDir& dir, const std::string& name, QColor colour) {
    ClipSpec clip;
    clip.frames = 25;
    clip.picture = [colour](int, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    };
    const std::string keep = dir.path("Keep/" + name);
    const std::string copy = dir.path("Trip/" + name);
    std::filesystem::create_directories(dir.path("Keep"));
    std::filesystem::create_directories(dir.path("Trip"));
    writeVideo(QString::fromStdString(keep), clip);
    std::filesystem::copy_file(keep, copy);
    return {keep, copy};
}

DuplicateGroup groupOf(const Clips& clips) {
    DuplicateGroup group;
    group.kind = MediaKind::video;
    group.size = std::int64_t(std::filesystem::file_size(clips.keep));
    group.keep = clips.keep;
    group.remove = {clips.copy};
    return group;
}

bool canPlay(const std::string& path) {
    QMediaPlayer probe;
    probe.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    waitUntil([&] {
        return probe.mediaStatus() != QMediaPlayer::LoadingMedia &&
               probe.mediaStatus() != QMediaPlayer::NoMedia;
    });
    return probe.mediaStatus() == QMediaPlayer::LoadedMedia &&
           probe.error() == QMediaPlayer::NoError;
}

} // namespace

TEST_F(ComparisonFixture, VideoPairHasTwoPlayersThatPlayBothStarts) {
    const Clips first = writeClips(dir, "a.mp4", Qt::red);
    const Clips second = writeClips(dir, "b.mp4", Qt::blue);
    if (!canPlay(first.keep))
        GTEST_SKIP() << "Qt Multimedia cannot open an MP4 clip here (no working media backend)";
    session.load(resultOf({groupOf(first), groupOf(second)}), {dir.path()});
    ASSERT_TRUE(waitUntil([&] { return session.selection().has_value(); }));
    showView();

    EXPECT_TRUE(view->findChild<QWidget*>("playbackBar")->isVisible());
    // The players come once the pair has stayed on screen a moment.
    ASSERT_TRUE(waitUntil([&] { return view->leftPlayer() && view->rightPlayer(); }));
    QPointer<QMediaPlayer> left = view->leftPlayer(), right = view->rightPlayer();
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->source(), QUrl::fromLocalFile(QString::fromStdString(first.keep)));
    EXPECT_EQ(right->source(), QUrl::fromLocalFile(QString::fromStdString(first.copy)));
    EXPECT_EQ(view->leftPane()->player(), left);
    EXPECT_EQ(view->rightPane()->player(), right);

    QTest::mouseClick(view->findChild<QPushButton*>("playBoth"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] {
        return left->playbackState() == QMediaPlayer::PlayingState &&
               right->playbackState() == QMediaPlayer::PlayingState;
    }));
    QTest::mouseClick(view->findChild<QPushButton*>("pause"), Qt::LeftButton);
    EXPECT_EQ(left->playbackState(), QMediaPlayer::PausedState);
    EXPECT_EQ(right->playbackState(), QMediaPlayer::PausedState);

    // Another video pair gets players of its own; the old ones are let go.
    QTest::mouseClick(view->findChild<QPushButton*>("playBoth"), Qt::LeftButton);
    session.setSelection(item(1).id);
    ASSERT_TRUE(waitUntil([&] { return !left && !right; }));
    ASSERT_TRUE(waitUntil([&] { return view->leftPlayer() && view->rightPlayer(); }));
    EXPECT_EQ(view->rightPlayer()->source(),
              QUrl::fromLocalFile(QString::fromStdString(second.copy)));

    // Leaving the comparison stops them.
    left = view->leftPlayer();
    right = view->rightPlayer();
    view->hide();
    EXPECT_FALSE(view->leftPlayer());
    EXPECT_FALSE(view->rightPlayer());
    ASSERT_TRUE(waitUntil([&] { return !left && !right; }));
    // Coming back makes new ones for the same pair.
    view->show();
    EXPECT_TRUE(waitUntil([&] { return view->leftPlayer() && view->rightPlayer(); }));
}

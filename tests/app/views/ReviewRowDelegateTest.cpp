// Review list rows: the badge for every state and mark, the hover text, the folder line, and the
// painted row with its thumbnail.
#include "views/ReviewRowDelegate.h"

#include "model/ModelTestSupport.h"
#include "model/ThumbnailLoader.h"

#include <QHelpEvent>
#include <QListView>
#include <QStandardItemModel>
#include <QToolTip>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
using Badge = ReviewRowDelegate::Badge;
using Role = Palette::Role;

namespace {

ReviewItem itemWith(State state, Decision decision, std::string reason = {}) {
    ReviewItem item;
    item.id = item.candidateURL = "/Volumes/Drive/Trip/IMG_0001.JPG";
    item.keepURL = "/Volumes/Drive/Keep/IMG_0001.JPG";
    item.sizeBytes = 2048;
    item.state = state;
    item.decision = decision;
    item.failureReason = std::move(reason);
    return item;
}

} // namespace

TEST(ReviewRowDelegateTest, PendingBadgesFollowTheMark) {
    EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::pending, Decision::undecided)),
              std::nullopt);
    EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::pending, Decision::discard)),
              Badge({"trash.circle.fill", Role::red}));
    EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::pending, Decision::keep)),
              Badge({"checkmark.circle.fill", Role::green}));
}

TEST(ReviewRowDelegateTest, ResultBadgesIgnoreTheMark) {
    for (const Decision decision : {Decision::undecided, Decision::discard, Decision::keep}) {
        EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::failed, decision, "x")),
                  Badge({"exclamationmark.triangle.fill", Role::orange}));
        EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::trashed, decision)),
                  Badge({"trash.fill", Role::secondary}));
        EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::restored, decision)),
                  Badge({"arrow.uturn.backward", Role::secondary}));
        EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::kept, decision)),
                  Badge({"checkmark", Role::secondary}));
        EXPECT_EQ(ReviewRowDelegate::badgeFor(itemWith(State::gone, decision)),
                  Badge({"minus.circle", Role::tertiary}));
    }
}

TEST(ReviewRowDelegateTest, HelpTextIsTheReasonForAFailedPairElseThePath) {
    EXPECT_EQ(ReviewRowDelegate::helpText(itemWith(State::pending, Decision::discard)),
              "/Volumes/Drive/Trip/IMG_0001.JPG");
    EXPECT_EQ(ReviewRowDelegate::helpText(itemWith(State::trashed, Decision::discard)),
              "/Volumes/Drive/Trip/IMG_0001.JPG");
    EXPECT_EQ(ReviewRowDelegate::helpText(
                  itemWith(State::failed, Decision::discard, "the kept copy is missing")),
              QString::fromUtf8("Left alone — the kept copy is missing"));
}

TEST(ReviewRowDelegateTest, FolderLineIsTheContainingFolderName) {
    ReviewItem item = itemWith(State::pending, Decision::undecided);
    EXPECT_EQ(ReviewRowDelegate::folderName(item), "Trip");
    // A duplicate in the root folder of a drive shows the drive's folder name.
    item.candidateURL = "/Volumes/Extreme Pro/IMG_0002.JPG";
    EXPECT_EQ(ReviewRowDelegate::folderName(item), "Extreme Pro");
    item.candidateURL = "/IMG_0003.JPG";
    EXPECT_EQ(ReviewRowDelegate::folderName(item), "/");
}

class RowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto photo = writeGroup(dir, "Keep/a.jpg", {"Trip/a.jpg"}, randomBytes(3000, 1));
        const auto video = writeGroup(dir, "Keep/b.mov", {"Trip/b.mov"}, randomBytes(5000, 2));
        session.load(resultOf({photo, video}), {dir.path()});
        ASSERT_EQ(session.items().size(), 2u);
        for (const auto& item : session.items()) {
            auto* row = new QStandardItem;
            row->setData(QString::fromStdString(item.id), Qt::UserRole);
            model.appendRow(row);
        }
        list.setFrameShape(QFrame::NoFrame);
        list.setModel(&model);
        list.setItemDelegate(&delegate);
        list.resize(320, 200);
    }

    QColor pixelAt(QPoint point) { return list.viewport()->grab().toImage().pixelColor(point); }

    TempDir dir;
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
    std::atomic<int> generated{0};
    /// Photos come back red and wide, videos blue and tall, so each row shows its own.
    ThumbnailLoader loader{[this](const QString& path, double size, double) {
        ++generated;
        EXPECT_EQ(size, 128);
        const bool photo = path.endsWith(".jpg");
        QImage image(photo ? QSize(256, 192) : QSize(120, 240), QImage::Format_RGB32);
        image.fill(photo ? Qt::red : Qt::blue);
        return image;
    }};
    ReviewRowDelegate delegate{session, nullptr, &loader};
    QStandardItemModel model;
    QListView list;
};

TEST_F(RowFixture, RowsAreFiftyTwoPointsHigh) {
    EXPECT_EQ(delegate.sizeHint(QStyleOptionViewItem(), model.index(0, 0)).height(), 52);
    list.show();
    EXPECT_EQ(list.visualRect(model.index(1, 0)).top(), 52);
}

TEST_F(RowFixture, ThumbnailArrivesAndIsPaintedFittedInItsFrame) {
    list.show();
    const QPoint photoCentre(6 + 23, 26);
    const QPoint videoCentre(6 + 23, 52 + 26);
    ASSERT_TRUE(waitUntil([&] {
        return pixelAt(photoCentre) == QColor(Qt::red) && pixelAt(videoCentre) == QColor(Qt::blue);
    }));
    // Fitted: the wide photo leaves the top of its frame empty, the tall video its sides.
    EXPECT_NE(pixelAt(QPoint(6 + 23, 26 - 21)), QColor(Qt::red));
    EXPECT_EQ(pixelAt(QPoint(6 + 23, 26 - 15)), QColor(Qt::red));
    EXPECT_NE(pixelAt(QPoint(6 + 3, 52 + 26)), QColor(Qt::blue));
    EXPECT_EQ(pixelAt(QPoint(6 + 23, 52 + 4)), QColor(Qt::blue));
    // Nothing is painted outside the 46-point frame.
    EXPECT_NE(pixelAt(QPoint(6 + 47, 26)), QColor(Qt::red));
}

TEST_F(RowFixture, EachPictureIsAskedForOnce) {
    list.show();
    ASSERT_TRUE(waitUntil([&] { return generated == 2; }));
    for (int repaint = 0; repaint < 5; ++repaint)
        list.viewport()->grab();
    QApplication::processEvents();
    EXPECT_EQ(generated, 2);
}

TEST_F(RowFixture, HoverShowsTheHelpText) {
    list.show();
    const auto hover = [&](int row) {
        const QRect rect = list.visualRect(model.index(row, 0));
        QHelpEvent event(QEvent::ToolTip, rect.center(),
                         list.viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(list.viewport(), &event);
        const QString shown = QToolTip::text();
        QToolTip::hideText();
        return shown;
    };
    EXPECT_EQ(hover(0), QString::fromStdString(session.items()[0].candidateURL));

    // A pair that failed while marked for removal shows why it was left alone.
    trash.refuse(session.items()[1].candidateURL);
    session.mark(session.items()[1].id, Decision::discard);
    applyAndWait(session, true);
    ASSERT_EQ(session.items()[1].state, State::failed);
    EXPECT_EQ(hover(1), QString::fromUtf8("Left alone — refused by the test"));
    EXPECT_EQ(ReviewRowDelegate::badgeFor(session.items()[1])->colour, Role::orange);
}

TEST_F(RowFixture, BadgeIsPaintedAtTheTrailingEdge) {
    list.show();
    // The left of the badge's filled circle, clear of the trash cut out of its middle.
    const QPoint badge(300, 26);
    const QColor before = pixelAt(badge);
    session.mark(session.items()[0].id, Decision::discard);
    list.viewport()->update();
    const QColor red = Palette::color(Role::red, list.palette());
    ASSERT_TRUE(waitUntil([&] { return pixelAt(badge) != before; }));
    const QColor after = pixelAt(badge);
    EXPECT_LT(std::abs(after.red() - red.red()) + std::abs(after.green() - red.green()) +
                  std::abs(after.blue() - red.blue()),
              30);
}

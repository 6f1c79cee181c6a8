// Faults found by reviewing a real library: the seal of a pair that failed its last check, video
// panes that stayed black until played, and list thumbnails that never retried a failed load.
#include "MediaFixtures.h"
#include "model/ModelTestSupport.h"
#include "model/ThumbnailLoader.h"
#include "views/ComparisonView.h"
#include "views/Labels.h"
#include "views/PreviewImage.h"
#include "views/ReviewRowDelegate.h"

#include <QPainter>
#include <QStandardItemModel>
#include <atomic>
#include <filesystem>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

class AppFixes : public ::testing::Test {
  protected:
    void show(const std::string& id) {
        window.resize(1000, 700);
        window.show();
        view.showItem(*session.item(id));
    }

    bool sealShown() const { return view.findChild<SymbolLabel*>("verified")->isVisibleTo(&view); }

    TempDir dir;
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
    QWidget window;
    ComparisonView view{session, &window};
};

} // namespace

TEST_F(AppFixes, SealIsWithdrawnOnlyWhenTheLastCheckFoundTheFilesApart) {
    const auto edited = writeGroup(dir, "k1.jpg", {"edited.jpg"}, randomBytes(900, 1));
    const auto missing = writeGroup(dir, "k2.jpg", {"missing.jpg"}, randomBytes(800, 2));
    const auto sameFile = writeGroup(dir, "k3.jpg", {"linked.jpg"}, randomBytes(700, 3));
    const auto refused = writeGroup(dir, "k4.jpg", {"refused.jpg"}, randomBytes(600, 4));
    session.load(resultOf({edited, missing, sameFile, refused}), {dir.path()});
    dir.write("k1.jpg", randomBytes(900, 9));
    std::filesystem::remove(missing.keep);
    std::filesystem::remove(sameFile.remove[0]);
    std::filesystem::create_hard_link(sameFile.keep, sameFile.remove[0]);
    trash.refuse(refused.remove[0]);
    show(edited.remove[0]);
    EXPECT_TRUE(sealShown());

    session.markAllPending(ReviewItem::Decision::discard);
    applyAndWait(session, true);
    for (const auto& [id, seal] : {std::pair{edited.remove[0], false},
                                   {missing.remove[0], false},
                                   {sameFile.remove[0], true},
                                   {refused.remove[0], true}}) {
        ASSERT_EQ(session.item(id)->state, ReviewItem::State::failed) << id;
        show(id);
        EXPECT_EQ(sealShown(), seal) << session.item(id)->failureReason;
    }
}

TEST_F(AppFixes, VideoPanesShowAFrameBeforeAnythingPlays) {
    ClipSpec clip;
    clip.picture = [](int, QSize size) { return twoHalves(size, Qt::red, Qt::red); };
    const QString keep = QString::fromStdString(dir.path("clip.mp4"));
    writeVideo(keep, clip);
    std::filesystem::copy_file(keep.toStdString(), dir.path("clip copy.mp4"));
    DuplicateGroup group{MediaKind::video,
                         std::int64_t(std::filesystem::file_size(dir.path("clip.mp4"))),
                         keep.toStdString(),
                         {dir.path("clip copy.mp4")}};
    session.load(resultOf({group}), {dir.path()});
    show(group.remove[0]);

    // The clip's frame shows at once, and stays as the player's stand-in once the players come.
    const auto showsFrame = [&](const char* side, const char* name) {
        auto* picture = view.findChild<QWidget*>(side)->findChild<PreviewImage*>(name);
        if (!picture || !picture->isVisibleTo(&view) ||
            !waitUntil([&] { return !picture->isLoading(); }) || picture->image().isNull())
            return false;
        const QImage& frame = picture->image();
        return near(frame.pixelColor(frame.width() / 2, frame.height() / 2), Qt::red);
    };
    for (const char* side : {"leftPane", "rightPane"})
        EXPECT_TRUE(showsFrame(side, "")) << side;
    ASSERT_TRUE(waitUntil([&] { return view.leftPlayer() && view.rightPlayer(); }));
    for (const char* side : {"leftPane", "rightPane"})
        EXPECT_TRUE(showsFrame(side, "poster")) << side;
    EXPECT_EQ(view.leftPlayer()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_EQ(view.rightPlayer()->playbackState(), QMediaPlayer::StoppedState);
}

TEST(AppFixesRows, AFailedThumbnailIsAskedForAgainWhenTheRowIsPaintedLater) {
    TempDir dir;
    const auto group = writeGroup(dir, "a.jpg", {"b.jpg"}, "abc");
    TempDir trashFolder;
    FolderTrash trash{trashFolder.path()};
    FakeCloud cloud;
    ReviewSession session{trash, cloud};
    session.load(resultOf({group}), {dir.path()});

    std::atomic<int> calls = 0;
    ThumbnailLoader loader([&](const QString&, double, double) {
        return ++calls == 1 ? QImage() : twoHalves({64, 64}, Qt::green, Qt::green);
    });
    ReviewRowDelegate delegate(session, nullptr, &loader);
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QString::fromStdString(group.remove[0]), Qt::UserRole);
    QImage canvas(300, ReviewRowDelegate::rowHeight, QImage::Format_ARGB32);
    QStyleOptionViewItem option;
    option.rect = canvas.rect();
    const auto paint = [&] {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        delegate.paint(&painter, option, model.index(0, 0));
    };

    paint();
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    QTest::qWait(50);
    // The failure is shown once, then the next paints ask again and show the picture.
    for (int i = 0; i < 3 && !loader.cached(QString::fromStdString(group.remove[0]),
                                            ReviewRowDelegate::thumbnailSize);
         ++i) {
        paint();
        QTest::qWait(50);
    }
    EXPECT_EQ(calls, 2);
    paint();
    EXPECT_TRUE(near(canvas.pixelColor(6 + ReviewRowDelegate::thumbnailFrame / 2,
                                       ReviewRowDelegate::rowHeight / 2),
                     Qt::green));
}

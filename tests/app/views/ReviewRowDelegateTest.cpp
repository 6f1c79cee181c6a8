// A row of the review list: the folder line, and a thumbnail that failed to load is asked for
// again when the row is painted later.
#include "views/ReviewRowDelegate.h"

#include "model/ReviewSession.h"
#include "model/ThumbnailLoader.h"
#include "shell/ShellTestSupport.h"

#include <QPainter>
#include <QStandardItemModel>
#include <atomic>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;

TEST(ReviewRowDelegateTest, FolderLineIsTheFolderHoldingTheDuplicateEvenAtTheTop) {
    ReviewItem item;
    for (const auto& [path, folder] :
         {std::pair{"/Volumes/Drive/Trip/a.jpg", "Trip"},
          std::pair{"/Volumes/Drive/a.jpg", "Drive"}, std::pair{"/a.jpg", "/"}}) {
        item.candidateURL = path;
        EXPECT_EQ(ReviewRowDelegate::folderName(item), folder);
    }
}

TEST(ReviewRowDelegateTest, AFailedThumbnailIsAskedForAgainWhenTheRowIsPaintedLater) {
    TempDir dir;
    ReviewSession session;
    session.load(smallPairs(dir, 1), {dir.path()});
    std::atomic<int> calls = 0;
    ThumbnailLoader loader([&](const QString&, double, double) {
        return ++calls == 1 ? QImage() : twoHalves({64, 64}, Qt::green, Qt::green);
    });
    ReviewRowDelegate delegate(session, nullptr, &loader);
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QString::fromStdString(dir.path("dup0.jpg")), Qt::UserRole);
    QImage canvas(300, ReviewRowDelegate::rowHeight, QImage::Format_ARGB32);
    QStyleOptionViewItem option;
    option.rect = canvas.rect();
    const auto paint = [&] {
        QPainter painter(&canvas);
        delegate.paint(&painter, option, model.index(0, 0));
        return calls.load();
    };
    ASSERT_TRUE(waitUntil([&] { return paint() == 1; }));
    // The failure is shown once, then a later paint asks again and shows the picture.
    ASSERT_TRUE(waitUntil([&] {
        return paint() == 2 && loader.cached(QString::fromStdString(dir.path("dup0.jpg")),
                                             ReviewRowDelegate::thumbnailSize);
    }));
    paint();
    EXPECT_TRUE(near(canvas.pixelColor(6 + ReviewRowDelegate::thumbnailFrame / 2,
                                       ReviewRowDelegate::rowHeight / 2),
                     Qt::green));
    EXPECT_EQ(calls, 2);
}

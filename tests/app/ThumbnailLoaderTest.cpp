// Pictures of photos and videos, and the loader's cache and sharing of work.
#include "model/ThumbnailLoader.h"

#include "MediaFixtures.h"
#include "QtPrinting.h"
#include "TempDir.h"
#include "model/SystemThumbnails.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSemaphore>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

QString at(const TempDir& dir, const char* name) {
    return QString::fromStdString(dir.path(name));
}

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

/// Counts generations and, while `held`, keeps each one waiting until released.
struct CountingGenerator {
    std::shared_ptr<std::atomic<int>> count = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    bool held = false;
    QImage result = solid({4, 4}, Qt::red);

    ThumbnailLoader::Generator generator() const {
        return [count = count, gate = gate, held = held, result = result](const QString&, double,
                                                                          double) {
            ++*count;
            if (held)
                gate->acquire();
            return result;
        };
    }
};

/// Collects deliveries; lets a test wait for them with the event loop running.
struct Deliveries {
    QObject receiver;
    QList<QImage> images;

    ThumbnailLoader::Delivery collect() {
        return [this](const QImage& image) { images.append(image); };
    }

    /// Runs the event loop until `n` deliveries came (a guard ends a hang).
    void waitFor(qsizetype n) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (images.size() >= n)
                loop.quit();
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        poll.start(5);
        if (images.size() < n)
            loop.exec();
        ASSERT_GE(images.size(), n);
    }
};

QImage requestOne(ThumbnailLoader& loader, const QString& path, double size) {
    Deliveries deliveries;
    loader.image(path, size, 2.0, &deliveries.receiver, deliveries.collect());
    deliveries.waitFor(1);
    return deliveries.images.value(0);
}

QColor colourAt(const QImage& image, double x, double y) {
    return image.pixelColor(int(x * (image.width() - 1)), int(y * (image.height() - 1)));
}

} // namespace

TEST(ThumbnailLoaderTest, CacheKeyIsPathAndTruncatedSize) {
    EXPECT_EQ(ThumbnailLoader::cacheKey("/Photos/a.jpg", 900), "/Photos/a.jpg|900");
    EXPECT_EQ(ThumbnailLoader::cacheKey("/Photos/a.jpg", 128.9), "/Photos/a.jpg|128");
}

TEST(ThumbnailLoaderTest, SidewaysStoredPhotoIsUpright) {
    TempDir dir;
    const QString path = at(dir, "portrait.jpg");
    // Stored landscape, left red and right blue; orientation 6 turns it a quarter clockwise.
    writeJpeg(path, twoHalves({2400, 1800}, Qt::red, Qt::blue), {.orientation = 6});

    for (const double size : {128.0, 2000.0}) {
        const QImage preview = ThumbnailLoader::generate(path, size, 2.0);
        ASSERT_FALSE(preview.isNull());
        EXPECT_EQ(preview.size(), size == 128 ? QSize(192, 256) : QSize(1800, 2400));
        EXPECT_TRUE(near(colourAt(preview, 0.5, 0.1), Qt::red));
        EXPECT_TRUE(near(colourAt(preview, 0.5, 0.9), Qt::blue));
    }
}

TEST(ThumbnailLoaderTest, PreviewsDecodeToTwiceTheirPointSizeAtMost) {
    TempDir dir;
    const QString jpeg = at(dir, "large.jpg");
    writeJpeg(jpeg, twoHalves({4032, 3024}, Qt::red, Qt::blue));
    const QString png = at(dir, "wide.png");
    writePng(png, solid({3000, 1000}, Qt::green));
    const QString small = at(dir, "small.jpg");
    writeJpeg(small, solid({200, 100}, Qt::yellow));

    EXPECT_EQ(ThumbnailLoader::generate(jpeg, 900, 2.0).size(), QSize(1800, 1350));
    EXPECT_EQ(ThumbnailLoader::generate(jpeg, 128, 2.0).size(), QSize(256, 192));
    EXPECT_EQ(ThumbnailLoader::generate(png, 128, 2.0).size(), QSize(256, 85));
    // Never enlarged.
    EXPECT_EQ(ThumbnailLoader::generate(small, 900, 2.0).size(), QSize(200, 100));
}

TEST(ThumbnailLoaderTest, VideoShowsTheFrameAtOneSecond) {
    TempDir dir;
    const QString path = at(dir, "clip.mp4");
    writeVideo(path, {.frames = 50, .picture = [](int frame, QSize size) {
                          return solid(size, frame < 25 ? Qt::red : Qt::blue);
                      }});
    const QImage frame = ThumbnailLoader::generate(path, 128, 2.0);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(256, 192));
    EXPECT_TRUE(near(colourAt(frame, 0.5, 0.5), Qt::blue));
}

TEST(ThumbnailLoaderTest, ClipShorterThanOneSecondShowsItsFirstFrame) {
    TempDir dir;
    const QString path = at(dir, "short.MOV");
    writeVideo(path, {.frames = 10, .picture = [](int frame, QSize size) {
                          return solid(size, frame == 0 ? Qt::green : Qt::magenta);
                      }});
    const QImage frame = ThumbnailLoader::generate(path, 900, 2.0);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(320, 240));
    EXPECT_TRUE(near(colourAt(frame, 0.5, 0.5), Qt::green));
}

TEST(ThumbnailLoaderTest, RotatedVideoIsUpright) {
    TempDir dir;
    const QString path = at(dir, "portrait.mp4");
    writeVideo(path, {.frames = 30,
                      .picture = [](int, QSize size) { return twoHalves(size, Qt::red, Qt::blue); },
                      .rotation = 90});
    const QImage frame = ThumbnailLoader::generate(path, 128, 2.0);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(192, 256));
    EXPECT_TRUE(near(colourAt(frame, 0.5, 0.1), Qt::red));
    EXPECT_TRUE(near(colourAt(frame, 0.5, 0.9), Qt::blue));
}

TEST(ThumbnailLoaderTest, UndecodableFilesFallBackToTheSystemThumbnail) {
    TempDir dir;
    const QString corrupt = at(dir, "broken.jpg");
    writeCorruptJpeg(corrupt);
    const QString damagedVideo =
        QString::fromStdString(dir.write("clip.mov", "this is not a video\n"));
    EXPECT_TRUE(ThumbnailLoader::generate(corrupt, 128, 2.0).isNull());
    EXPECT_TRUE(ThumbnailLoader::generate(damagedVideo, 128, 2.0).isNull());

    for (const QString& path : {corrupt, damagedVideo}) {
        const QString large = SystemThumbnails::candidates(path).at(0);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(large).path()));
        QImage thumbnail = solid({256, 192}, Qt::cyan);
        thumbnail.setText("Thumb::MTime",
                          QString::number(QFileInfo(path).lastModified().toSecsSinceEpoch()));
        ASSERT_TRUE(thumbnail.save(large, "PNG"));

        const QImage fallback = ThumbnailLoader::generate(path, 128, 2.0);
        EXPECT_EQ(fallback.size(), QSize(256, 192));
        EXPECT_TRUE(near(colourAt(fallback, 0.5, 0.5), Qt::cyan, 0));
    }
}

TEST(ThumbnailLoaderTest, SimultaneousRequestsShareOneGeneration) {
    CountingGenerator counting;
    counting.held = true;
    ThumbnailLoader loader(counting.generator());
    Deliveries first, second;
    loader.image("/Photos/a.jpg", 900, 2.0, &first.receiver, first.collect());
    loader.image("/Photos/a.jpg", 900.5, 2.0, &second.receiver, second.collect());
    counting.gate->release(2);
    first.waitFor(1);
    second.waitFor(1);
    EXPECT_EQ(*counting.count, 1);
    EXPECT_EQ(first.images.at(0), counting.result);
    EXPECT_EQ(second.images.at(0), counting.result);

    // Later requests are answered from the cache at once.
    Deliveries third;
    loader.image("/Photos/a.jpg", 900, 1.0, &third.receiver, third.collect());
    ASSERT_EQ(third.images.size(), 1);
    EXPECT_EQ(third.images.at(0), counting.result);
    EXPECT_EQ(*counting.count, 1);
}

TEST(ThumbnailLoaderTest, EachSizeIsGeneratedAndCachedOnItsOwn) {
    CountingGenerator counting;
    ThumbnailLoader loader(counting.generator());
    requestOne(loader, "/Photos/a.jpg", 128);
    requestOne(loader, "/Photos/a.jpg", 900);
    EXPECT_EQ(*counting.count, 2);
    requestOne(loader, "/Photos/a.jpg", 128);
    requestOne(loader, "/Photos/a.jpg", 900);
    EXPECT_EQ(*counting.count, 2);
}

TEST(ThumbnailLoaderTest, FailuresAreNotCached) {
    CountingGenerator counting;
    counting.result = QImage();
    ThumbnailLoader loader(counting.generator());
    EXPECT_TRUE(requestOne(loader, "/Photos/broken.jpg", 128).isNull());
    EXPECT_TRUE(requestOne(loader, "/Photos/broken.jpg", 128).isNull());
    EXPECT_EQ(*counting.count, 2);
}

TEST(ThumbnailLoaderTest, AThrowingGeneratorDoesNotLeaveTheKeyStuck) {
    std::atomic<int> calls = 0;
    ThumbnailLoader loader([&calls](const QString&, double, double) -> QImage {
        if (calls++ == 0)
            throw std::runtime_error("decoder blew up");
        return solid({2, 2}, Qt::red);
    });
    EXPECT_TRUE(requestOne(loader, "/Photos/a.jpg", 128).isNull());
    EXPECT_FALSE(requestOne(loader, "/Photos/a.jpg", 128).isNull());
}

TEST(ThumbnailLoaderTest, CacheHoldsAtMost240Pictures) {
    CountingGenerator counting;
    ThumbnailLoader loader(counting.generator());
    for (int i = 0; i <= ThumbnailLoader::cacheLimit; ++i)
        requestOne(loader, QString("/Photos/%1.jpg").arg(i), 128);
    EXPECT_EQ(*counting.count, 241);
    // The newest is still there; the least recently used went to make room.
    requestOne(loader, "/Photos/240.jpg", 128);
    EXPECT_EQ(*counting.count, 241);
    requestOne(loader, "/Photos/0.jpg", 128);
    EXPECT_EQ(*counting.count, 242);
}

TEST(ThumbnailLoaderTest, NothingIsDeliveredToADestroyedReceiver) {
    CountingGenerator counting;
    counting.held = true;
    ThumbnailLoader loader(counting.generator());
    auto gone = std::make_unique<Deliveries>();
    Deliveries staying;
    bool deliveredToGone = false;
    loader.image("/Photos/a.jpg", 128, 2.0, &gone->receiver,
                 [&deliveredToGone](const QImage&) { deliveredToGone = true; });
    loader.image("/Photos/a.jpg", 128, 2.0, &staying.receiver, staying.collect());
    gone.reset();
    counting.gate->release();
    staying.waitFor(1);
    EXPECT_FALSE(deliveredToGone);
    EXPECT_EQ(*counting.count, 1);
}

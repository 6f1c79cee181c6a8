// The preview widget, headless: busy indicator, picture, placeholder and reloading.
#include "views/PreviewImage.h"

#include "MediaFixtures.h"
#include "QtPrinting.h"
#include "TempDir.h"
#include "model/ThumbnailLoader.h"

#include <QProgressBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

/// Hang guard for waits; the tests assert nothing about speed.
constexpr int patience = 120000;

/// Records every generation; while `held`, each one waits until the gate is opened.
struct FakeGenerator {
    std::shared_ptr<std::atomic<int>> count = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    std::function<QImage(const QString&)> picture;
    bool held = false;

    ThumbnailLoader::Generator generator() const {
        return [*this](const QString& path, double, double) {
            ++*count;
            if (held)
                gate->acquire();
            return picture(path);
        };
    }
};

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool waitForFinish(PreviewImage& preview) {
    QSignalSpy finished(&preview, &PreviewImage::finished);
    return !preview.isLoading() || finished.wait(patience);
}

QProgressBar* spinnerOf(PreviewImage& preview) {
    return preview.findChild<QProgressBar*>();
}

} // namespace

TEST(PreviewImageTest, ShowsABusyIndicatorThenThePicture) {
    FakeGenerator fake{.picture =
                           [](const QString&) {
                               return solid({40, 40}, Qt::red);
                           },
                       .held = true};
    ThumbnailLoader loader(fake.generator());
    PreviewImage preview("/Photos/a.jpg", 128, PreviewImage::ContentMode::fit, nullptr, &loader);
    preview.resize(100, 100);
    preview.show();

    EXPECT_TRUE(preview.isLoading());
    EXPECT_TRUE(spinnerOf(preview)->isVisible());
    EXPECT_TRUE(preview.image().isNull());
    EXPECT_FALSE(preview.didFail());

    fake.gate->release();
    ASSERT_TRUE(waitForFinish(preview));
    EXPECT_FALSE(spinnerOf(preview)->isVisible());
    EXPECT_FALSE(preview.didFail());
    EXPECT_EQ(preview.image().size(), QSize(40, 40));
    EXPECT_EQ(preview.grab().toImage().pixelColor(50, 50), QColor(Qt::red));
}

TEST(PreviewImageTest, AsksForTwiceThePointSize) {
    std::vector<std::pair<double, double>> asked;
    ThumbnailLoader loader([&asked](const QString&, double size, double scale) {
        asked.emplace_back(size, scale);
        return solid({4, 4}, Qt::red);
    });
    PreviewImage preview("/Photos/a.jpg", 128, PreviewImage::ContentMode::fit, nullptr, &loader);
    preview.show();
    ASSERT_TRUE(waitForFinish(preview));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(128.0, 2.0));
}

TEST(PreviewImageTest, FitKeepsTheWholePictureFillCoversTheView) {
    FakeGenerator fake{.picture = [](const QString&) {
        return twoHalves({200, 100}, Qt::red, Qt::blue);
    }};
    ThumbnailLoader loader(fake.generator());
    for (const auto mode : {PreviewImage::ContentMode::fit, PreviewImage::ContentMode::fill}) {
        PreviewImage preview("/Photos/wide.jpg", 128, mode, nullptr, &loader);
        preview.resize(100, 100);
        preview.show();
        ASSERT_TRUE(waitForFinish(preview));
        const QImage shot = preview.grab().toImage();
        if (mode == PreviewImage::ContentMode::fit) {
            // Letterboxed: the picture is 100 × 50 in the middle.
            EXPECT_NE(shot.pixelColor(50, 5), QColor(Qt::red));
            EXPECT_NE(shot.pixelColor(50, 5), QColor(Qt::blue));
            EXPECT_EQ(shot.pixelColor(10, 50), QColor(Qt::red));
            EXPECT_EQ(shot.pixelColor(90, 50), QColor(Qt::blue));
        } else {
            // Cropped at the sides: the middle half fills the view, top to bottom.
            EXPECT_EQ(shot.pixelColor(10, 2), QColor(Qt::red));
            EXPECT_EQ(shot.pixelColor(90, 97), QColor(Qt::blue));
        }
    }
}

TEST(PreviewImageTest, NoPictureShowsThePlaceholderAndRetriesOnTheNextAppearance) {
    FakeGenerator fake{.picture = [](const QString&) { return QImage(); }};
    ThumbnailLoader loader(fake.generator());
    PreviewImage preview("/Photos/broken.jpg", 900, PreviewImage::ContentMode::fit, nullptr,
                         &loader);
    preview.resize(100, 100);
    preview.show();
    ASSERT_TRUE(waitForFinish(preview));
    EXPECT_TRUE(preview.didFail());
    EXPECT_TRUE(preview.image().isNull());
    EXPECT_FALSE(spinnerOf(preview)->isVisible());

    // The question mark is drawn in the middle, nothing at the edges.
    const QImage shot = preview.grab().toImage();
    const QColor background = shot.pixelColor(2, 2);
    bool marked = false;
    for (int x = 36; x < 64; ++x)
        marked = marked || shot.pixelColor(x, 50) != background;
    EXPECT_TRUE(marked);

    preview.hide();
    preview.show();
    ASSERT_TRUE(waitForFinish(preview));
    EXPECT_EQ(*fake.count, 2);
}

TEST(PreviewImageTest, TwoPreviewsOfOneFileShareOneGeneration) {
    FakeGenerator fake{.picture =
                           [](const QString&) {
                               return solid({8, 8}, Qt::green);
                           },
                       .held = true};
    ThumbnailLoader loader(fake.generator());
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first =
        new PreviewImage("/Photos/a.jpg", 900, PreviewImage::ContentMode::fit, &window, &loader);
    auto* second =
        new PreviewImage("/Photos/a.jpg", 900, PreviewImage::ContentMode::fill, &window, &loader);
    layout->addWidget(first);
    layout->addWidget(second);
    window.show();

    fake.gate->release();
    ASSERT_TRUE(waitForFinish(*first));
    ASSERT_TRUE(waitForFinish(*second));
    EXPECT_EQ(*fake.count, 1);
    EXPECT_FALSE(first->image().isNull());
    EXPECT_EQ(first->image(), second->image());
}

TEST(PreviewImageTest, AnotherFileReplacesTheAnswerForTheEarlierOne) {
    FakeGenerator fake{.picture =
                           [](const QString& path) {
                               return solid({8, 8}, path.endsWith("a.jpg") ? Qt::red : Qt::blue);
                           },
                       .held = true};
    ThumbnailLoader loader(fake.generator());
    PreviewImage preview("/Photos/a.jpg", 128, PreviewImage::ContentMode::fit, nullptr, &loader);
    preview.show();
    preview.setUrl("/Photos/b.jpg");
    EXPECT_EQ(preview.url(), "/Photos/b.jpg");
    EXPECT_TRUE(preview.isLoading());

    QSignalSpy finished(&preview, &PreviewImage::finished);
    fake.gate->release(2);
    ASSERT_TRUE(finished.wait(patience));
    EXPECT_EQ(preview.image().pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(finished.count(), 1);
}

TEST(PreviewImageTest, ShowsARealPhotoThroughTheSharedLoader) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.path("photo.jpg"));
    writeJpeg(path, solid({600, 400}, Qt::yellow));
    PreviewImage preview(path, 128, PreviewImage::ContentMode::fit);
    preview.show();
    ASSERT_TRUE(waitForFinish(preview));
    EXPECT_EQ(std::max(preview.image().width(), preview.image().height()), 256);
    EXPECT_TRUE(near(preview.image().pixelColor(100, 80), Qt::yellow));
}

// The facts gathered for one file, from real photos and videos made for each test.
#include "model/FileMetadata.h"

#include "MediaFixtures.h"
#include "QtPrinting.h"
#include "TempDir.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <stdlib.h>
#include <time.h>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

/// Sets TZ for one test: EXIF dates are read in the user's zone.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) : previous_(getenv("TZ") ? getenv("TZ") : "") {
        hadPrevious_ = getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadPrevious_)
            setenv("TZ", previous_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string previous_;
    bool hadPrevious_ = false;
};

QString at(const TempDir& dir, const char* name) {
    return QString::fromStdString(dir.path(name));
}

FileMetadata loaded(const QString& path) {
    QFuture<FileMetadata> future = FileMetadata::load(path);
    return future.result();
}

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

FileMetadata withDuration(double seconds) {
    FileMetadata metadata;
    metadata.duration = seconds;
    return metadata;
}

FileMetadata withPixels(double width, double height) {
    FileMetadata metadata;
    metadata.pixelSize = QSizeF(width, height);
    return metadata;
}

} // namespace

TEST(FileMetadataTest, JpegWithCaptureDate) {
    TimeZone zone("XST-3"); // three hours east of UTC, no daylight saving
    TempDir dir;
    const QString path = at(dir, "IMG_0001.jpg");
    writeJpeg(path, solid({4032, 3024}, Qt::darkGreen),
              {.dateTimeOriginal = "2023:07:14 18:05:09"});

    const FileMetadata metadata = loaded(path);
    EXPECT_EQ(metadata.sizeBytes, QFileInfo(path).size());
    EXPECT_EQ(metadata.pixelSize, QSizeF(4032, 3024));
    EXPECT_EQ(metadata.dimensionsText(), QString("4032 \u00D7 3024"));
    ASSERT_TRUE(metadata.captured);
    EXPECT_EQ(metadata.captured->toUTC(), QDateTime(QDate(2023, 7, 14), QTime(15, 5, 9), Qt::UTC));
    EXPECT_EQ(metadata.modified, QFileInfo(path).lastModified());
    EXPECT_FALSE(metadata.duration);
    EXPECT_FALSE(metadata.durationText());
}

TEST(FileMetadataTest, SidewaysPhotoReportsItsStoredSize) {
    TempDir dir;
    const QString path = at(dir, "portrait.jpg");
    writeJpeg(path, solid({400, 300}, Qt::gray), {.orientation = 6});
    EXPECT_EQ(loaded(path).pixelSize, QSizeF(400, 300));
}

TEST(FileMetadataTest, PngWithoutExifHasNoCaptureDate) {
    TempDir dir;
    const QString path = at(dir, "screen.png");
    writePng(path, solid({640, 480}, Qt::blue));

    const FileMetadata metadata = loaded(path);
    EXPECT_EQ(metadata.sizeBytes, QFileInfo(path).size());
    EXPECT_EQ(metadata.dimensionsText(), QString("640 \u00D7 480"));
    EXPECT_FALSE(metadata.captured);
    EXPECT_TRUE(metadata.modified);
}

TEST(FileMetadataTest, UnreadableImagesGiveOnlySizeAndModification) {
    TempDir dir;
    const QString corrupt = at(dir, "broken.jpg");
    writeCorruptJpeg(corrupt);
    const QString text = QString::fromStdString(dir.write("photo.jpeg.tmp", "not a picture"));

    for (const QString& path : {corrupt, text}) {
        const FileMetadata metadata = loaded(path);
        EXPECT_EQ(metadata.sizeBytes, QFileInfo(path).size());
        EXPECT_TRUE(metadata.modified);
        EXPECT_FALSE(metadata.pixelSize);
        EXPECT_FALSE(metadata.captured);
        EXPECT_FALSE(metadata.duration);
    }
}

TEST(FileMetadataTest, MissingFileYieldsNothing) {
    TempDir dir;
    EXPECT_EQ(loaded(at(dir, "gone.jpg")), FileMetadata{});
    EXPECT_EQ(loaded(at(dir, "gone.mov")), FileMetadata{});
}

TEST(FileMetadataTest, VideoDurationSizeAndCreationTime) {
    TempDir dir;
    const QString path = at(dir, "clip.mp4");
    writeVideo(path, {.size = {320, 240},
                      .framesPerSecond = 25,
                      .frames = 50,
                      .picture = [](int, QSize size) { return solid(size, Qt::red); },
                      .creationTime = "2023-07-14T18:05:09Z"});

    const FileMetadata metadata = loaded(path);
    EXPECT_EQ(metadata.sizeBytes, QFileInfo(path).size());
    ASSERT_TRUE(metadata.duration);
    EXPECT_NEAR(*metadata.duration, 2.0, 0.05);
    EXPECT_EQ(metadata.durationText(), QString("0:02"));
    EXPECT_EQ(metadata.pixelSize, QSizeF(320, 240));
    EXPECT_EQ(metadata.captured, QDateTime(QDate(2023, 7, 14), QTime(18, 5, 9), Qt::UTC));
}

TEST(FileMetadataTest, VideoExtensionIsComparedInLowerCase) {
    TempDir dir;
    const QString path = at(dir, "clip.MOV");
    writeVideo(path,
               {.frames = 10, .picture = [](int, QSize size) { return solid(size, Qt::red); }});
    const FileMetadata metadata = loaded(path);
    EXPECT_TRUE(metadata.duration);
    EXPECT_EQ(metadata.pixelSize, QSizeF(320, 240));
    EXPECT_FALSE(metadata.captured);
}

TEST(FileMetadataTest, PortraitVideoReportsItsStoredSize) {
    TempDir dir;
    const QString path = at(dir, "portrait.mp4");
    writeVideo(path, {.frames = 10,
                      .picture = [](int, QSize size) { return solid(size, Qt::red); },
                      .rotation = 90});
    EXPECT_EQ(loaded(path).pixelSize, QSizeF(320, 240));
}

TEST(FileMetadataTest, DamagedVideoGivesOnlySizeAndModification) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.write("clip.mp4", std::string(5000, 'x')));
    const FileMetadata metadata = loaded(path);
    EXPECT_EQ(metadata.sizeBytes, 5000);
    EXPECT_TRUE(metadata.modified);
    EXPECT_FALSE(metadata.pixelSize);
    EXPECT_FALSE(metadata.durationText());
}

TEST(FileMetadataTest, DurationTextRoundsToWholeSecondsWithoutHours) {
    EXPECT_EQ(withDuration(75.4).durationText(), QString("1:15"));
    EXPECT_EQ(withDuration(59.5).durationText(), QString("1:00"));
    EXPECT_EQ(withDuration(0.4).durationText(), QString("0:00"));
    EXPECT_EQ(withDuration(3725).durationText(), QString("62:05"));
    EXPECT_EQ(withDuration(9.2e12).durationText(), QString("153333333333:20"));
}

TEST(FileMetadataTest, DurationTextNeedsAFinitePositiveDuration) {
    EXPECT_FALSE(FileMetadata{}.durationText());
    EXPECT_FALSE(withDuration(0).durationText());
    EXPECT_FALSE(withDuration(-3).durationText());
    EXPECT_FALSE(withDuration(std::numeric_limits<double>::quiet_NaN()).durationText());
    EXPECT_FALSE(withDuration(std::numeric_limits<double>::infinity()).durationText());
    EXPECT_FALSE(withDuration(1e300).durationText());
}

TEST(FileMetadataTest, DimensionsTextTruncatesAndNeedsAPositiveWidth) {
    EXPECT_EQ(withPixels(4032.9, 3024.7).dimensionsText(), QString("4032 \u00D7 3024"));
    EXPECT_FALSE(withPixels(0, 3024).dimensionsText());
    EXPECT_FALSE(withPixels(-1, 3024).dimensionsText());
    EXPECT_FALSE(FileMetadata{}.dimensionsText());
}

// Finding a file's picture in the freedesktop.org thumbnail cache.
#include "model/SystemThumbnails.h"

#include "QtPrinting.h"
#include "TempDir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quillmere;
using quillmere::testing::TempDir;

namespace {

/// Points XDG_CACHE_HOME at a fresh folder for one test.
class CacheHome {
  public:
    CacheHome() : previous_(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(dir_.path()));
    }
    ~CacheHome() { qputenv("XDG_CACHE_HOME", previous_); }
    QString path() const { return QString::fromStdString(dir_.path()); }

  private:
    TempDir dir_;
    QByteArray previous_;
};

QImage thumbnail(QSize size, QColor colour, const QString& forFile) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.setText("Thumb::URI", QUrl::fromLocalFile(forFile).toString());
    image.setText("Thumb::MTime",
                  QString::number(QFileInfo(forFile).lastModified().toSecsSinceEpoch()));
    return image;
}

void store(const QString& cacheFile, const QImage& image) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(cacheFile).path()));
    ASSERT_TRUE(image.save(cacheFile, "PNG"));
}

} // namespace

TEST(SystemThumbnailsTest, CacheFilesAreNamedByTheMd5OfTheFileUri) {
    CacheHome cache;
    // The example of the freedesktop.org thumbnail specification.
    EXPECT_EQ(
        SystemThumbnails::candidates("/home/jens/photos/me.png"),
        (QStringList{cache.path() + "/thumbnails/large/c6ee772d9e49320e97ec29a7eb5b1697.png",
                     cache.path() + "/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png"}));
}

TEST(SystemThumbnailsTest, UriEscapesSpacesAndNonAsciiLikeTheThumbnailers) {
    CacheHome cache;
    const QString expected =
        QString::fromLatin1(QCryptographicHash::hash("file:///Photos/Caf%C3%A9%202023/a%20b.jpg",
                                                     QCryptographicHash::Md5)
                                .toHex());
    EXPECT_EQ(QFileInfo(SystemThumbnails::candidates("/Photos/Caf\u00E9 2023/a b.jpg").at(0))
                  .completeBaseName(),
              expected);
}

TEST(SystemThumbnailsTest, LargeIsPreferredToNormal) {
    CacheHome cache;
    TempDir dir;
    const QString file = QString::fromStdString(dir.write("raw.cr2", "raw data"));
    const QStringList candidates = SystemThumbnails::candidates(file);
    store(candidates.at(1), thumbnail({128, 96}, Qt::blue, file));
    EXPECT_EQ(SystemThumbnails::find(file, 256).pixelColor(5, 5), QColor(Qt::blue));
    store(candidates.at(0), thumbnail({256, 192}, Qt::red, file));
    EXPECT_EQ(SystemThumbnails::find(file, 256).pixelColor(5, 5), QColor(Qt::red));
}

TEST(SystemThumbnailsTest, StaleThumbnailsAreIgnored) {
    CacheHome cache;
    TempDir dir;
    const QString file = QString::fromStdString(dir.write("raw.cr2", "raw data"));
    const QStringList candidates = SystemThumbnails::candidates(file);
    QImage stale = thumbnail({256, 192}, Qt::red, file);
    stale.setText("Thumb::MTime", "12345");
    store(candidates.at(0), stale);
    EXPECT_TRUE(SystemThumbnails::find(file, 256).isNull());

    store(candidates.at(1), thumbnail({128, 96}, Qt::blue, file));
    EXPECT_EQ(SystemThumbnails::find(file, 256).pixelColor(5, 5), QColor(Qt::blue));
}

TEST(SystemThumbnailsTest, LargerThumbnailsAreFittedToTheWantedSize) {
    CacheHome cache;
    TempDir dir;
    const QString file = QString::fromStdString(dir.write("raw.cr2", "raw data"));
    store(SystemThumbnails::candidates(file).at(0), thumbnail({256, 192}, Qt::red, file));
    EXPECT_EQ(SystemThumbnails::find(file, 128).size(), QSize(128, 96));
}

TEST(SystemThumbnailsTest, NothingCachedMeansNoPicture) {
    CacheHome cache;
    TempDir dir;
    const QString file = QString::fromStdString(dir.write("raw.cr2", "raw data"));
    EXPECT_TRUE(SystemThumbnails::find(file, 256).isNull());
    // An unreadable cache entry is no picture either.
    const QString large = SystemThumbnails::candidates(file).at(0);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(large).path()));
    QFile broken(large);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a png");
    broken.close();
    EXPECT_TRUE(SystemThumbnails::find(file, 256).isNull());
}

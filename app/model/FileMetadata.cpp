#include "model/FileMetadata.h"

#include "model/MediaKindHelper.h"
#include "model/VideoFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <exception>
#include <mutex>

#pragma GCC diagnostic push
// Exiv2 0.27 hands images out in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace quillmere {

namespace {

const QString exifDateFormat = QStringLiteral("yyyy:MM:dd HH:mm:ss");

/// Exiv2's XMP parser must be set up once before threads use it; its warnings about damaged
/// files are of no use to the app's user.
void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

struct ExifFacts {
    QSizeF pixelSize;
    std::optional<QString> dateTimeOriginal;
};

/// What Exiv2 knows about an image: its size, for formats Qt cannot read (RAW, HEIC), and the
/// EXIF capture date for every format.
std::optional<ExifFacts> readExif(const QString& path) {
    prepareExiv2();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (!image.get())
            return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        // A file Exiv2 merely got through, with neither a size nor EXIF, told nothing.
        if (image->pixelWidth() <= 0 && image->pixelHeight() <= 0 && exif.empty())
            return std::nullopt;
        ExifFacts facts;
        facts.pixelSize =
            QSizeF(std::max(image->pixelWidth(), 0), std::max(image->pixelHeight(), 0));
        const auto original = exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
        if (original != exif.end())
            facts.dateTimeOriginal = QString::fromStdString(original->toString());
        return facts;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void readPhoto(const QString& path, FileMetadata& metadata) {
    const QSize size = QImageReader(path).size();
    const std::optional<ExifFacts> exif = readExif(path);
    if (size.isValid()) {
        metadata.pixelSize = QSizeF(size);
    } else if (exif) {
        metadata.pixelSize = exif->pixelSize;
    } else {
        return;
    }
    if (exif && exif->dateTimeOriginal) {
        // In the user's own time zone: EXIF dates carry none.
        const QDateTime captured = QDateTime::fromString(*exif->dateTimeOriginal, exifDateFormat);
        if (captured.isValid())
            metadata.captured = captured;
    }
}

void readVideo(const QString& path, FileMetadata& metadata) {
    std::optional<VideoFile> video = VideoFile::open(path);
    if (!video)
        return;
    metadata.duration = video->duration();
    metadata.pixelSize = video->naturalSize();
    metadata.captured = video->creationTime();
}

} // namespace

QFuture<FileMetadata> FileMetadata::load(const QString& path) {
    return QtConcurrent::run(&FileMetadata::read, path);
}

FileMetadata FileMetadata::read(const QString& path) {
    FileMetadata metadata;
    const QFileInfo info(path);
    if (info.exists()) {
        metadata.sizeBytes = info.size();
        const QDateTime modified = info.lastModified();
        if (modified.isValid())
            metadata.modified = modified;
    }
    if (MediaKindHelper::isVideo(path))
        readVideo(path, metadata);
    else
        readPhoto(path, metadata);
    return metadata;
}

std::optional<QString> FileMetadata::dimensionsText() const {
    if (!pixelSize || !(pixelSize->width() > 0))
        return std::nullopt;
    return QStringLiteral("%1 \u00D7 %2")
        .arg(static_cast<qint64>(pixelSize->width()))
        .arg(static_cast<qint64>(pixelSize->height()));
}

std::optional<QString> FileMetadata::durationText() const {
    if (!duration || !std::isfinite(*duration) || !(*duration > 0))
        return std::nullopt;
    // Halves away from zero. 64 bits hold any duration a container can state; anything beyond
    // is nonsense, not a running time.
    const double rounded = std::round(*duration);
    if (rounded >= 9.0e18)
        return std::nullopt;
    const auto seconds = static_cast<long long>(rounded);
    return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
}

} // namespace quillmere

#pragma GCC diagnostic pop

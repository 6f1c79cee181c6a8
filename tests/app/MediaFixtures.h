// Real photos and videos made at test time: JPEGs with EXIF tags, PNGs, damaged files and short
// encoded clips whose frames, size, running time and rotation are known.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>
#include <optional>

namespace quillmere::testing {

/// A picture split into two solid halves: `first` on the left (or top), `second` on the right
/// (or bottom), so a test can tell which way up it is.
QImage twoHalves(QSize size, QColor first, QColor second, Qt::Orientation split = Qt::Horizontal);

struct ExifTags {
    /// "yyyy:MM:dd HH:mm:ss", written as Exif.Photo.DateTimeOriginal.
    std::optional<QString> dateTimeOriginal = std::nullopt;
    /// Exif.Image.Orientation (6: the stored pixels are turned a quarter counter-clockwise).
    std::optional<int> orientation = std::nullopt;
};

/// Writes `image` as a JPEG with the given EXIF tags. Throws std::runtime_error on failure.
void writeJpeg(const QString& path, const QImage& image, const ExifTags& tags = {});

/// Writes `image` as a PNG with no metadata. Throws std::runtime_error on failure.
void writePng(const QString& path, const QImage& image);

/// A file that starts like a JPEG and goes on with noise.
void writeCorruptJpeg(const QString& path);

struct ClipSpec {
    QSize size{320, 240};
    int framesPerSecond = 25;
    int frames = 50;
    /// The picture of frame i.
    std::function<QImage(int frame, QSize size)> picture;
    /// Clockwise degrees a player turns the stored picture to show it upright.
    int rotation = 0;
    /// The container's creation_time, ISO 8601.
    std::optional<QString> creationTime = std::nullopt;
};

/// Encodes a clip (H.264 where the encoder is there, else MPEG-4) into the container that the
/// file name's extension names. Throws std::runtime_error on failure.
void writeVideo(const QString& path, const ClipSpec& clip);

/// Whether two colours are within `tolerance` on every channel (lossy codecs shift them).
bool near(QColor actual, QColor expected, int tolerance = 40);

} // namespace quillmere::testing

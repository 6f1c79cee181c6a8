// Real photos and videos made at test time: JPEGs with EXIF tags, PNGs and short encoded clips
// whose frames, size, running time and rotation are known.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>
#include <optional>

namespace quillmere::testing {

/// Two solid halves, `first` on the left, so a test can tell which way up it is.
QImage twoHalves(QSize size, QColor first, QColor second);

struct ExifTags {
    /// "yyyy:MM:dd HH:mm:ss", written as Exif.Photo.DateTimeOriginal.
    std::optional<QString> dateTimeOriginal = std::nullopt;
    /// Exif.Image.Orientation (6: the stored pixels are turned a quarter counter-clockwise).
    std::optional<int> orientation = std::nullopt;
};

/// These throw std::runtime_error on failure.
void writeJpeg(const QString& path, const QImage& image, const ExifTags& tags = {});
void writePng(const QString& path, const QImage& image);

struct ClipSpec {
    QSize size{320, 240};
    int framesPerSecond = 25;
    int frames = 50;
    std::function<QImage(int frame, QSize size)> picture;
    /// Clockwise degrees a player turns the stored picture to show it upright.
    int rotation = 0;
    /// The container's creation_time, ISO 8601.
    std::optional<QString> creationTime = std::nullopt;
};

/// Encodes a clip (H.264 where the encoder is there, else MPEG-4) into the container that the
/// file name's extension names.
void writeVideo(const QString& path, const ClipSpec& clip);

/// Whether two colours are within `tolerance` on every channel (lossy codecs shift them).
bool near(QColor actual, QColor expected, int tolerance = 40);

} // namespace quillmere::testing

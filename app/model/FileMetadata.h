// The facts shown beside a file in the comparison: size, pixel dimensions, capture and
// modification dates and, for videos, the running time. Gathered off the GUI thread.
#pragma once

#include <QDateTime>
#include <QFuture>
#include <QSizeF>
#include <QString>
#include <optional>

namespace quillmere {

struct FileMetadata {
    qint64 sizeBytes = 0;
    /// Pixel width and height of a photo, or the stored size of a video's first video stream.
    std::optional<QSizeF> pixelSize;
    /// When the picture or video was taken.
    std::optional<QDateTime> captured;
    /// Last modification of the file's content.
    std::optional<QDateTime> modified;
    /// Running time of a video in seconds; never set for photos.
    std::optional<double> duration;

    /// Gathers the facts of one file on the global thread pool, never on the calling thread.
    /// Never fails: whatever cannot be read keeps its start value.
    static QFuture<FileMetadata> load(const QString& path);

    /// The blocking work of load(), for worker threads.
    static FileMetadata read(const QString& path);

    /// "4032 × 3024" (each side truncated); absent without a positive width.
    std::optional<QString> dimensionsText() const;

    /// "1:15" (minutes and seconds, rounded to the nearest second, no hour field); absent
    /// without a finite positive duration.
    std::optional<QString> durationText() const;

    friend bool operator==(const FileMetadata&, const FileMetadata&) = default;
};

} // namespace quillmere

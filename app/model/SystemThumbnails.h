// Pictures that the desktop's thumbnailers have already made, read from the freedesktop.org
// thumbnail cache: the last resort when the app cannot decode a file itself.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace quillmere::SystemThumbnails {

/// The cache files that may hold a thumbnail of `path`, in the order they are tried: the
/// "large" one, then the "normal" one, under $XDG_CACHE_HOME (or ~/.cache) /thumbnails.
QStringList candidates(const QString& path);

/// The first of the candidates that can be read and is not stale (its recorded modification
/// time matches the file's), fitted into a square of `maxPixel` pixels; null when none is.
QImage find(const QString& path, double maxPixel);

} // namespace quillmere::SystemThumbnails

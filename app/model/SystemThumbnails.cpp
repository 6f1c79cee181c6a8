#include "model/SystemThumbnails.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <glib.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace quillmere::SystemThumbnails {

namespace {

/// The file's URI as the thumbnailers spell it, which is what the cache is keyed by. GLib's
/// escaping is the reference the cache's writers follow.
QByteArray uriOf(const QString& path) {
    std::unique_ptr<gchar, decltype(&g_free)> uri(
        g_filename_to_uri(QFile::encodeName(path).constData(), nullptr, nullptr), &g_free);
    return uri ? QByteArray(uri.get()) : QByteArray();
}

std::optional<qint64> modificationSeconds(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return static_cast<qint64>(info.st_mtime);
}

} // namespace

QStringList candidates(const QString& path) {
    const QByteArray uri = uriOf(path);
    if (uri.isEmpty())
        return {};
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/thumbnails/");
    return {root + QStringLiteral("large/") + name, root + QStringLiteral("normal/") + name};
}

QImage find(const QString& path, double maxPixel) {
    const std::optional<qint64> modified = modificationSeconds(path);
    for (const QString& candidate : candidates(path)) {
        QImage thumbnail = QImageReader(candidate).read();
        if (thumbnail.isNull())
            continue;
        // A thumbnail made before the file last changed shows other content.
        bool known = false;
        const qint64 recorded = thumbnail.text(QStringLiteral("Thumb::MTime")).toLongLong(&known);
        if (known && modified && recorded != *modified)
            continue;
        if (thumbnail.width() > maxPixel || thumbnail.height() > maxPixel)
            thumbnail = thumbnail.scaled(QSize(int(maxPixel), int(maxPixel)), Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation);
        return thumbnail;
    }
    return {};
}

} // namespace quillmere::SystemThumbnails

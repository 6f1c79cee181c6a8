#include "model/ThumbnailLoader.h"

#include "PhotoPreview.h"
#include "model/MediaKindHelper.h"
#include "model/SystemThumbnails.h"
#include "model/VideoFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace quillmere {

namespace {

/// A photo in a format Qt has no reader for (HEIC), through the decoders of the similar-photo
/// search.
QImage decodedByLibvips(const QString& path, int maxPixel) {
    const std::optional<similar::PhotoPreview> preview =
        similar::PhotoPreviews::fromFile(QFile::encodeName(path).toStdString(), maxPixel);
    if (!preview)
        return {};
    return QImage(preview->rgb.data(), preview->width, preview->height, preview->width * 3,
                  QImage::Format_RGB888)
        .copy();
}

/// A photo decoded straight to the wanted size (JPEG decoders scale while decoding), turned
/// upright by its orientation tag. Nothing decoded is kept beyond the returned picture.
QImage embeddedPreview(const QString& path, int maxPixel) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid() && std::max(stored.width(), stored.height()) > maxPixel)
        reader.setScaledSize(
            stored.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return decodedByLibvips(path, maxPixel);
    // Formats that cannot tell their size up front are scaled after decoding.
    if (std::max(image.width(), image.height()) > maxPixel)
        image = image.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

/// The frame at 1.0 s, or the first one when the clip is shorter or that part cannot be decoded.
QImage videoFrame(const QString& path, int maxPixel) {
    std::optional<VideoFile> video = VideoFile::open(path);
    if (!video)
        return {};
    QImage frame = video->frameAt(1.0, maxPixel);
    if (frame.isNull())
        frame = video->frameAt(0.0, maxPixel);
    return frame;
}

} // namespace

ThumbnailLoader::ThumbnailLoader(Generator generator, QObject* parent)
    : QObject(parent), generator_(std::move(generator)) {}

ThumbnailLoader& ThumbnailLoader::shared() {
    static ThumbnailLoader* const loader =
        new ThumbnailLoader(&ThumbnailLoader::generate, QCoreApplication::instance());
    return *loader;
}

QString ThumbnailLoader::cacheKey(const QString& path, double size) {
    return path + QLatin1Char('|') + QString::number(static_cast<qint64>(size));
}

void ThumbnailLoader::image(const QString& path, double size, double scale, QObject* receiver,
                            Delivery deliver) {
    Q_ASSERT(QThread::currentThread() == thread());
    Q_ASSERT(receiver);
    const QString key = cacheKey(path, size);
    if (const QImage* cached = cache_.object(key)) {
        deliver(*cached);
        return;
    }
    const bool running = inFlight_.contains(key);
    inFlight_[key].append(Waiter{receiver, std::move(deliver)});
    if (running)
        return;

    QtConcurrent::run([generator = generator_, path, size, scale] {
        try {
            return generator(path, size, scale);
        } catch (...) {
            // An escaped failure would leave the key in flight for good.
            return QImage();
        }
    }).then(this, [this, key](const QImage& image) { finish(key, image); });
}

const QImage* ThumbnailLoader::cached(const QString& path, double size) {
    Q_ASSERT(QThread::currentThread() == thread());
    return cache_.object(cacheKey(path, size));
}

void ThumbnailLoader::finish(const QString& key, const QImage& image) {
    if (!image.isNull())
        cache_.insert(key, new QImage(image));
    const QList<Waiter> waiters = inFlight_.take(key);
    for (const Waiter& waiter : waiters) {
        if (waiter.receiver)
            waiter.deliver(image);
    }
}

QImage ThumbnailLoader::generate(const QString& path, double size, double scale) {
    const double wanted = size * scale;
    if (!(wanted >= 1))
        return {};
    const int maxPixel = static_cast<int>(std::min(wanted, 65536.0));
    QImage image = MediaKindHelper::isVideo(path) ? videoFrame(path, maxPixel)
                                                  : embeddedPreview(path, maxPixel);
    if (image.isNull())
        image = SystemThumbnails::find(path, maxPixel);
    return image;
}

} // namespace quillmere

// Pictures of files for the review list and the comparison: a downscaled, upright rendering of a
// photo or a frame of a video, made on worker threads, kept in a bounded cache, and made once
// when several views ask for the same picture at the same time.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace quillmere {

class ThumbnailLoader : public QObject {
    Q_OBJECT

  public:
    /// The blocking work of one request: the picture of `path` for `size` points at `scale`.
    using Generator = std::function<QImage(const QString& path, double size, double scale)>;
    using Delivery = std::function<void(const QImage& image)>;

    /// Finished pictures kept in memory at most.
    static constexpr int cacheLimit = 240;

    /// A loader of its own; the app uses shared(). `generator` is the work run per key.
    explicit ThumbnailLoader(Generator generator = &ThumbnailLoader::generate,
                             QObject* parent = nullptr);

    /// The app's one loader, created on first use; lives as long as the application object.
    static ThumbnailLoader& shared();

    /// "path|size", the size truncated to an integer; the scale is not part of it.
    static QString cacheKey(const QString& path, double size);

    /// Hands the picture of `path` at `size` points and `scale` to `deliver` on the GUI thread: at
    /// once when cached, otherwise when the one generation for its key ends. A null image means
    /// none could be made; that is not cached, so a later request tries again. Nothing is
    /// delivered once `receiver` is destroyed. GUI thread only.
    void image(const QString& path, double size, double scale, QObject* receiver, Delivery deliver);
    /// The cached picture of `path` at `size` points, or null; valid until the next request.
    const QImage* cached(const QString& path, double size);

    /// The default generator, for worker threads: a frame of a video or a downscaled photo, the
    /// longest edge at most size × scale pixels, else the system thumbnail cache's picture.
    static QImage generate(const QString& path, double size, double scale);

  private:
    struct Waiter {
        QPointer<QObject> receiver;
        Delivery deliver;
    };

    void finish(const QString& key, const QImage& image);

    Generator generator_;
    /// Only ever touched on the GUI thread, so checking and inserting cannot race.
    QCache<QString, QImage> cache_{cacheLimit};
    QHash<QString, QList<Waiter>> inFlight_;
};

} // namespace quillmere

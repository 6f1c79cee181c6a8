// Cost of preview pictures: one photo decoded to a 128-point thumbnail, and a folder of 200
// photos previewed through the loader while the GUI thread keeps running its event loop.
#include "model/ThumbnailLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

using namespace quillmere;

namespace {

/// A folder of camera-like JPEGs; busy content so that decoding costs what a photo costs.
class PhotoFolder {
  public:
    PhotoFolder(int count, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        for (int i = 0; i < count; ++i) {
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, size.width(), size.height());
            gradient.setColorAt(0, QColor::fromHsv((i * 37) % 360, 200, 230));
            gradient.setColorAt(1, QColor::fromHsv((i * 37 + 180) % 360, 160, 60));
            painter.fillRect(image.rect(), gradient);
            for (int line = 0; line < 200; ++line)
                painter.drawLine((line * 97 + i) % size.width(), 0, (line * 61) % size.width(),
                                 size.height());
            painter.end();
            const QString path = folder_.filePath(QString("IMG_%1.jpg").arg(i, 4, 10, QChar('0')));
            image.save(path, "JPEG", 90);
            paths_.append(path);
        }
    }
    const QStringList& paths() const { return paths_; }

  private:
    QTemporaryDir folder_;
    QStringList paths_;
};

void BM_PhotoThumbnail128(benchmark::State& state) {
    static const PhotoFolder photos(8, QSize(4032, 3024));
    qsizetype next = 0;
    for (auto _ : state) {
        QImage image =
            ThumbnailLoader::generate(photos.paths()[next++ % photos.paths().size()], 128, 2.0);
        benchmark::DoNotOptimize(image);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PhotoThumbnail128)->Unit(benchmark::kMillisecond);

/// Every preview of a folder requested at once, as a list of rows would; reports the time per
/// thumbnail and the longest the GUI thread spent in one request.
void BM_FolderOf200At128(benchmark::State& state) {
    static const PhotoFolder photos(200, QSize(1600, 1200));
    const auto count = static_cast<int>(photos.paths().size());
    qint64 longestCallNs = 0;
    qint64 totalNs = 0;
    for (auto _ : state) {
        ThumbnailLoader loader;
        QObject receiver;
        QEventLoop loop;
        int delivered = 0;
        QElapsedTimer folder;
        folder.start();
        for (const QString& path : photos.paths()) {
            QElapsedTimer call;
            call.start();
            loader.image(path, 128, 2.0, &receiver, [&](const QImage&) {
                if (++delivered == count)
                    loop.quit();
            });
            longestCallNs = std::max(longestCallNs, call.nsecsElapsed());
        }
        if (delivered < count)
            loop.exec();
        totalNs += folder.nsecsElapsed();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["per_thumbnail_ms"] =
        static_cast<double>(totalNs) / 1e6 / static_cast<double>(state.iterations() * count);
    state.counters["longest_gui_call_us"] = static_cast<double>(longestCallNs) / 1000.0;
}
BENCHMARK(BM_FolderOf200At128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

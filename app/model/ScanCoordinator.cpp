// The scan runs as a task in the global thread pool. The engine's worker threads report progress
// by posting each change of the texts to the GUI thread, where a guarded pointer drops reports that
// arrive after the coordinator is gone; the result comes back through a watcher owned by the
// coordinator.
#include "model/ScanCoordinator.h"

#include "FingerprintCache.h"
#include "SimilarScanner.h"
#include "scan/DuplicateScanner.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

namespace quillmere {

namespace {

// Counts with the digit grouping of the user's locale.
QString grouped(std::int64_t count) {
    return QLocale().toString(qlonglong(count));
}

std::optional<double> ratio(std::int64_t done, std::int64_t total) {
    if (total <= 0)
        return std::nullopt;
    return double(done) / double(total);
}

} // namespace

ScanCoordinator::ScanCoordinator(QObject* parent) : ScanCoordinator(Engine(), parent) {}

ScanCoordinator::ScanCoordinator(Engine engine, QObject* parent)
    : QObject(parent), engine_(std::move(engine)) {
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, &ScanCoordinator::tick);
}

ScanCoordinator::~ScanCoordinator() {
    // The thread pool is waited for when the application ends; a scan left running would keep
    // the process alive until it finished. No signal goes out: the window that listens is
    // being taken down around the coordinator.
    stop_.request_stop();
}

template <typename Result>
bool ScanCoordinator::start(const std::vector<std::string>& roots, const QString& headline,
                            std::function<Result(const Post&, std::stop_token)> work,
                            std::function<void(Result)> done) {
    if (isScanning_ || roots.empty())
        return false;

    QStringList paths;
    for (const auto& root : roots)
        paths << QString::fromStdString(root);
    setScanning(true);
    setHeadline(headline);
    setDetail(paths.join(QStringLiteral(", ")));
    setFraction(std::nullopt);
    startedAt_ = std::chrono::steady_clock::now();
    startTicking();

    stop_ = std::stop_source();
    const int generation = ++generation_;
    QPointer<ScanCoordinator> self(this);
    Post post = [self, generation](std::function<void(ScanCoordinator&)> change) {
        // No work on the reporting thread: the change is handed to the GUI thread, where the
        // guard is read.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, change = std::move(change)] {
                if (self && self->generation_ == generation && self->isScanning_)
                    change(*self);
            },
            Qt::QueuedConnection);
    };

    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation, done = std::move(done)] {
                watcher->deleteLater();
                if (generation != generation_ || !isScanning_)
                    return;
                finish();
                if (done)
                    done(watcher->future().takeResult());
            });
    watcher->setFuture(QtConcurrent::run([work = std::move(work), post = std::move(post),
                                          stop = stop_.get_token()] { return work(post, stop); }));
    return true;
}

bool ScanCoordinator::scan(const std::vector<std::string>& roots, Completion done) {
    // The app never scans sub-folder includes: each chosen folder is scanned whole.
    std::function<Outcome(const Post&, std::stop_token)> work =
        [engine = engine_, config = ScanConfig{roots, {}}](const Post& post, std::stop_token stop) {
            ScanProgress progress = [post](const ScanPhase& phase) {
                post([phase](ScanCoordinator& self) { self.report(phase); });
            };
            Outcome outcome{engine ? engine(config, progress)
                                   : DuplicateScanner(config, progress, nullptr, stop).scan(),
                            ReviewSession::Pairs()};
            if (!stop.stop_requested())
                outcome.pairs = ReviewSession::Pairs::of(outcome.result);
            return outcome;
        };
    return start(roots, QStringLiteral("Looking for media files…"), std::move(work),
                 std::move(done));
}

bool ScanCoordinator::scanSimilar(const std::vector<std::string>& roots, SimilarCompletion done) {
    std::function<SimilarOutcome(const Post&, std::stop_token)> work =
        [config = ScanConfig{roots, {}}](const Post& post, std::stop_token stop) {
            auto progress = [post](std::int64_t done, std::int64_t total) {
                post([done, total](ScanCoordinator& self) {
                    self.reportFingerprinting(done, total);
                });
            };
            SimilarOutcome outcome{
                similar::SimilarScanner(config, similar::FingerprintCache::defaultPath(), progress,
                                        similar::defaultThreshold, stop)
                    .scan(),
                ReviewSession::Pairs()};
            if (!stop.stop_requested())
                outcome.pairs = ReviewSession::Pairs::of(outcome.result);
            return outcome;
        };
    return start(roots, QStringLiteral("Looking for photos…"), std::move(work), std::move(done));
}

void ScanCoordinator::cancel() {
    if (!isScanning_)
        return;
    stop_.request_stop();
    finish();
}

void ScanCoordinator::finish() {
    setScanning(false);
    ticker_.stop();
}

void ScanCoordinator::report(const ScanPhase& phase) {
    std::visit(
        [this](const auto& step) {
            using Step = std::decay_t<decltype(step)>;
            if constexpr (std::is_same_v<Step, scanphase::Enumerating>) {
                setHeadline(QStringLiteral("Looking for media files…"));
                setDetail(grouped(step.filesFound) + QStringLiteral(" found"));
                setFraction(std::nullopt);
            } else if constexpr (std::is_same_v<Step, scanphase::Hashing>) {
                setHeadline(QStringLiteral("Checking possible duplicates…"));
                setDetail(grouped(step.done) + QStringLiteral(" of ") + grouped(step.total));
                setFraction(ratio(step.done, step.total));
            } else if constexpr (std::is_same_v<Step, scanphase::Grouping>) {
                setHeadline(QStringLiteral("Grouping matches…"));
                setDetail(QString());
                setFraction(std::nullopt);
            } else {
                setHeadline(QStringLiteral("Comparing every byte…"));
                setDetail(grouped(step.done) + QStringLiteral(" of ") + grouped(step.total) +
                          QStringLiteral(" groups"));
                setFraction(ratio(step.done, step.total));
            }
        },
        phase);
}

void ScanCoordinator::reportFingerprinting(std::int64_t done, std::int64_t total) {
    // The last photo read, the scan goes on to group them, which it does not report.
    if (done >= total) {
        setHeadline(QStringLiteral("Grouping similar photos…"));
        setDetail(QString());
        setFraction(std::nullopt);
        return;
    }
    setHeadline(QStringLiteral("Reading what each photo shows…"));
    setDetail(grouped(done) + QStringLiteral(" of ") + grouped(total) + QStringLiteral(" photos"));
    setFraction(ratio(done, total));
}

void ScanCoordinator::startTicking() {
    setElapsed(0);
    ticker_.start();
}

void ScanCoordinator::tick() {
    if (!startedAt_)
        return;
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - *startedAt_;
    setElapsed(since.count());
}

void ScanCoordinator::setScanning(bool scanning) {
    if (isScanning_ == scanning)
        return;
    isScanning_ = scanning;
    emit isScanningChanged();
}

void ScanCoordinator::setHeadline(const QString& headline) {
    if (headline_ == headline)
        return;
    headline_ = headline;
    emit headlineChanged();
}

void ScanCoordinator::setDetail(const QString& detail) {
    if (detail_ == detail)
        return;
    detail_ = detail;
    emit detailChanged();
}

void ScanCoordinator::setFraction(std::optional<double> fraction) {
    if (fraction_ == fraction)
        return;
    fraction_ = fraction;
    emit fractionChanged();
}

void ScanCoordinator::setElapsed(double elapsed) {
    if (elapsed_ == elapsed)
        return;
    elapsed_ = elapsed;
    emit elapsedChanged();
}

} // namespace quillmere

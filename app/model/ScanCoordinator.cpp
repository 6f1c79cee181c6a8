// The scan runs as a task in the global thread pool. The engine's worker threads report progress
// by posting each phase to the GUI thread, where a guarded pointer drops reports that arrive after
// the coordinator is gone; the result comes back through a watcher owned by the coordinator.
#include "model/ScanCoordinator.h"

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

bool ScanCoordinator::scan(const std::vector<std::string>& roots, Completion done) {
    if (isScanning_ || roots.empty())
        return false;

    QStringList paths;
    for (const auto& root : roots)
        paths << QString::fromStdString(root);
    setScanning(true);
    setHeadline(QStringLiteral("Looking for media files…"));
    setDetail(paths.join(QStringLiteral(", ")));
    setFraction(std::nullopt);
    startedAt_ = std::chrono::steady_clock::now();
    startTicking();

    // The app never scans sub-folder includes: each chosen folder is scanned whole.
    ScanConfig config{roots, {}};
    stop_ = std::stop_source();
    const int generation = ++generation_;
    QPointer<ScanCoordinator> self(this);
    ScanProgress progress = [self, generation](const ScanPhase& phase) {
        // No work on the reporting thread: the phase is handed to the GUI thread, where the
        // guard is read.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, phase] {
                if (self && self->generation_ == generation && self->isScanning_)
                    self->report(phase);
            },
            Qt::QueuedConnection);
    };
    Engine engine = engine_ ? engine_
                            : [stop = stop_.get_token()](const ScanConfig& config,
                                                         const ScanProgress& progress) {
                                  return DuplicateScanner(config, progress, nullptr, stop).scan();
                              };

    auto* watcher = new QFutureWatcher<Outcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation, done = std::move(done)] {
                watcher->deleteLater();
                if (generation == generation_ && isScanning_)
                    finish(watcher->future().takeResult(), done);
            });
    watcher->setFuture(
        QtConcurrent::run([engine = std::move(engine), config = std::move(config),
                           progress = std::move(progress), stop = stop_.get_token()] {
            Outcome outcome{engine(config, progress), ReviewSession::Pairs()};
            if (!stop.stop_requested())
                outcome.pairs = ReviewSession::Pairs::of(outcome.result);
            return outcome;
        }));
    return true;
}

void ScanCoordinator::cancel() {
    if (!isScanning_)
        return;
    stop_.request_stop();
    setScanning(false);
    ticker_.stop();
}

void ScanCoordinator::finish(Outcome outcome, const Completion& done) {
    setScanning(false);
    ticker_.stop();
    if (done)
        done(std::move(outcome));
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
